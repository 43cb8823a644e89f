// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/MainWindow.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/WholeProgramGuards.h"
#include "ui/shell/AboutForm.h"
#include "ui/shell/HelpViewer.h"
#include "ui/shell/StartHint.h"
#include "ui/shell/WattsightLogo.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

namespace {
struct ItemSpec
{
    MenuItem item;
    const char* name;
    const char* caption; // '&' marks the Alt key letter; Qt underlines it and leaves it out of the caption
};
struct MenuSpec
{
    const char* name;
    const char* title;
    std::vector<ItemSpec> items;
};

const std::vector<MenuSpec>& menuTable()
{
    static const std::vector<MenuSpec> table = {
        {"FileMenu",
         "&File",
         {{MenuItem::LoadFactoryDefaults, "LoadFactoryDefaults", "&Load Factory Defaults"},
          {MenuItem::SaveAllSettings, "SaveAllSettings", "&Save All Settings"},
          {MenuItem::LoadPreviousRunData, "LoadPreviousRunData", "Load &Previous Run Data"},
          {MenuItem::ExitMenu, "ExitMenu", "E&xit"}}},
        {"ViewMenu",
         "&View",
         {{MenuItem::EnergyLoggingForm, "EnergyLoggingForm", "Energy &Logging Screen"},
          {MenuItem::EnergyTripForm, "EnergyTripForm", "Energy &Trip Screen"},
          {MenuItem::DisplayEnergyHistoryGraph, "DisplayEnergyHistoryGraph", "Display Energy History &Graph"}}},
        {"ToolsMenu",
         "&Tools",
         {{MenuItem::ExportData, "ExportData", "&Export Data"}, {MenuItem::ImportData, "ImportData", "&Import Data"}}},
        {"SetupMenu",
         "&Setup",
         {{MenuItem::CameraSetup, "CameraSetup", "&Camera Setup"},
          {MenuItem::EnergyMeterSetup, "EnergyMeterSetup", "Energy &Meter Setup"},
          {MenuItem::DataLoggingSetup, "DataLoggingSetup", "Data &Logging Setup"},
          {MenuItem::AdvancedSettings, "AdvancedSettings", "&Advanced Settings"},
          {MenuItem::PublishingSetup, "PublishingSetup", "&Publishing Setup"},
          {MenuItem::MeterReading, "MeterReading", "Meter &Reading"},
          {MenuItem::TariffSetup, "TariffSetup", "&Tariffs"},
          {MenuItem::UnattendedOperation, "UnattendedOperation", "&Unattended Operation"}}},
        {"HelpMenu",
         "&Help",
         {{MenuItem::HelpContents, "HelpContents", "&Help (Contents)"},
          {MenuItem::About, "About", "&About Wattsight"}}},
        {"DebuggingMenu",
         "&Debug",
         {{MenuItem::PulseSimulator, "PulseSimulator", "&Pulse Simulator"},
          {MenuItem::FillArray, "FillArray", "&Fill Array"},
          {MenuItem::ViewLoggingScreenVariables, "ViewLoggingScreenVariables", "View &logging screen variables"},
          {MenuItem::TripScreenVariables, "TripScreenVariables", "View &trip screen variables"}}},
    };
    return table;
}
} // namespace

MainWindow::MainWindow(AppContext& ctx, const QString& helpFolder, QWidget* parent)
    : QMainWindow(parent), m_ctx(ctx), m_helpFolder(helpFolder)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowIcon(QIcon(WattsightLogo(64)));
    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("mdiArea"));
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    new StartHint(ctx, *m_mdi);
    resize(1024, 720);
    buildMenus();

    connect(action(MenuItem::ExitMenu), &QAction::triggered, this, &MainWindow::onExit);
    connect(action(MenuItem::LoadFactoryDefaults), &QAction::triggered, this, &MainWindow::onLoadFactoryDefaults);
    connect(action(MenuItem::SaveAllSettings), &QAction::triggered, this, &MainWindow::onSaveAllSettings);
    connect(action(MenuItem::HelpContents), &QAction::triggered, this, [this] { ShowHelp(0); });
    action(MenuItem::HelpContents)->setShortcut(QKeySequence::HelpContents);
    addModalScreen(MenuItem::About, [this] { return new AboutForm(this); });
    for (MenuItem item :
         {MenuItem::ExitMenu, MenuItem::LoadFactoryDefaults, MenuItem::SaveAllSettings, MenuItem::HelpContents})
        action(item)->setEnabled(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    for (const MenuSpec& menuEntry : menuTable()) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(menuEntry.title));
        menu->setObjectName(QString::fromLatin1(menuEntry.name));
        if (menu->objectName() == QLatin1String("DebuggingMenu"))
            m_debugMenu = menu;
        for (const ItemSpec& item : menuEntry.items) {
            QAction* a = menu->addAction(QString::fromLatin1(item.caption));
            a->setObjectName(QString::fromLatin1(item.name));
            // Enabled once its screen is registered.
            a->setEnabled(false);
            m_actions[item.item] = a;
        }
    }
}

QAction* MainWindow::action(MenuItem item) const
{
    return m_actions.at(item);
}

void MainWindow::setDebugMenuVisible(bool visible)
{
    m_debugMenu->menuAction()->setVisible(visible);
    m_debugMenu->menuAction()->setEnabled(visible);
}

void MainWindow::registerScreen(MenuItem item, Kind kind, ScreenFactory factory, QWidget* instance)
{
    Screen& screen = m_screens[item];
    const bool firstTime = !screen.factory && !screen.instance;
    screen.kind = kind;
    screen.factory = std::move(factory);
    screen.instance = instance;
    QAction* a = action(item);
    a->setEnabled(true);
    if (firstTime)
        connect(a, &QAction::triggered, this, [this, item] { openScreen(item); });
}

void MainWindow::addModelessScreen(MenuItem item, ScreenFactory factory)
{
    registerScreen(item, Kind::Modeless, std::move(factory), nullptr);
}

void MainWindow::addModalScreen(MenuItem item, ScreenFactory factory)
{
    registerScreen(item, Kind::Modal, std::move(factory), nullptr);
}

void MainWindow::addPersistentScreen(MenuItem item, QWidget* screen)
{
    registerScreen(item, Kind::Persistent, nullptr, screen);
    QMdiSubWindow* sub = showChild(screen, false);
    // It exists from now on but stays out of sight until opened from the View menu.
    sub->hide();
}

void MainWindow::openScreen(MenuItem item)
{
    auto it = m_screens.find(item);
    if (it == m_screens.end())
        return;
    Screen& screen = it->second;
    switch (screen.kind) {
    case Kind::Persistent:
        if (screen.instance)
            showChild(screen.instance, false);
        break;
    case Kind::Modeless:
        if (!screen.instance)
            screen.instance = screen.factory();
        if (screen.instance)
            showChild(screen.instance);
        break;
    case Kind::Modal:
        if (QWidget* w = screen.factory()) {
            screen.instance = w;
            showModal(w);
        }
        break;
    }
}

QWidget* MainWindow::screen(MenuItem item) const
{
    auto it = m_screens.find(item);
    return it == m_screens.end() ? nullptr : it->second.instance.data();
}

void MainWindow::hideScreen(MenuItem item)
{
    QWidget* w = screen(item);
    if (!w)
        return;
    if (QMdiSubWindow* sub = subWindowOf(w))
        sub->hide();
    else
        w->hide();
}

QMdiSubWindow* MainWindow::subWindowOf(QWidget* widget) const
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (sub->widget() == widget)
            return sub;
    return nullptr;
}

QMdiSubWindow* MainWindow::showChild(QWidget* widget, bool deleteOnClose)
{
    QMdiSubWindow* sub = subWindowOf(widget);
    if (!sub) {
        sub = new QMdiSubWindow;
        sub->setAttribute(Qt::WA_DeleteOnClose, deleteOnClose);
        // The screen is owned by its frame window, which decides whether closing destroys it.
        widget->setAttribute(Qt::WA_DeleteOnClose, false);
        sub->setWidget(widget);
        sub->setWindowIcon(windowIcon());
        m_mdi->addSubWindow(sub);
    }
    widget->show();
    sub->show();
    sub->raise();
    m_mdi->setActiveSubWindow(sub);
    return sub;
}

void MainWindow::showModal(QWidget* widget)
{
    QPointer<QWidget> guard(widget);
    if (auto* dialog = qobject_cast<QDialog*>(widget)) {
        dialog->exec();
    } else {
        // A plain widget runs inside a dialog of its own so that it blocks like one.
        QDialog host(this);
        host.setWindowTitle(widget->windowTitle());
        host.setObjectName(widget->objectName() + QStringLiteral("Host"));
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        widget->setParent(&host);
        layout->addWidget(widget);
        host.exec();
    }
    delete guard.data();
}

QStringList MainWindow::setupScreenNames()
{
    return {QStringLiteral("AdvancedSettingsSetupForm"), QStringLiteral("EnergyMeterSetupForm"),
            QStringLiteral("DataLoggingSetupForm"),      QStringLiteral("CameraForm"),
            QStringLiteral("MotionDetection"),           QStringLiteral("StartCameraForm"),
            QStringLiteral("PublishingSetupForm"),       QStringLiteral("TariffSetupForm"),
            QStringLiteral("UnattendedSetupForm")};
}

void MainWindow::closeScreens(const QStringList& objectNames)
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (sub->widget() && objectNames.contains(sub->widget()->objectName()))
            sub->close();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && objectNames.contains(w->objectName()))
            w->close();
}

void MainWindow::ShowHelp(int topic)
{
    if (!m_help)
        m_help = new HelpViewer(m_helpFolder, this);
    if (!m_help->openTopic(topic)) {
        m_ctx.services.dialogs.message(QStringLiteral("The help pages could not be found:\r\n") +
                                           m_help->contentsPath(),
                                       Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return;
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::onExit()
{
    if (ConfirmWholeProgramOperation(m_ctx, WholeProgramOperation::Exit) && endProcess)
        endProcess();
}

void MainWindow::onLoadFactoryDefaults()
{
    if (!ConfirmWholeProgramOperation(m_ctx, WholeProgramOperation::LoadFactoryDefaults))
        return;
    closeScreens(setupScreenNames());
    LoadAllFactoryDefaults(m_ctx.settings);
    if (factoryDefaultsLoaded)
        factoryDefaultsLoaded();
}

void MainWindow::onSaveAllSettings()
{
    if (ConfirmWholeProgramOperation(m_ctx, WholeProgramOperation::SaveAllSettings))
        SaveAllSettingsFiles(m_ctx);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!ConfirmWholeProgramOperation(m_ctx, WholeProgramOperation::Exit)) {
        event->ignore();
        return;
    }
    event->accept();
    if (endProcess)
        endProcess();
}

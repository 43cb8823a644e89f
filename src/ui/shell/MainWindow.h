// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/shell/HelpViewer.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

struct AppContext;

// Every item of the main window's menus, in menu order.
enum class MenuItem
{
    LoadFactoryDefaults,
    SaveAllSettings,
    LoadPreviousRunData,
    ExitMenu,
    EnergyLoggingForm,
    EnergyTripForm,
    DisplayEnergyHistoryGraph,
    ExportData,
    ImportData,
    CameraSetup,
    EnergyMeterSetup,
    DataLoggingSetup,
    AdvancedSettings,
    PublishingSetup,
    MeterReading,
    TariffSetup,
    UnattendedOperation,
    HelpContents,
    About,
    PulseSimulator,
    FillArray,
    ViewLoggingScreenVariables,
    TripScreenVariables,
};

// The multiple-document frame (MDIForm1). Its File menu runs the whole-program operations; every other
// item opens a screen registered with one of the add...Screen calls, which also enables the item. Items
// with no registered screen stay disabled.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    using ScreenFactory = std::function<QWidget*()>;

    MainWindow(AppContext& ctx, const QString& helpFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    QAction* action(MenuItem item) const;
    QMdiArea* mdiArea() const { return m_mdi; }
    void setDebugMenuVisible(bool visible);

    // A screen made on demand, shown modeless inside the frame and destroyed when the user closes it.
    void addModelessScreen(MenuItem item, ScreenFactory factory);
    // A modal screen made each time the item is chosen and destroyed after it closes.
    void addModalScreen(MenuItem item, ScreenFactory factory);
    // A screen that lives from start-up to exit (trip, logging): closing it only hides it.
    void addPersistentScreen(MenuItem item, QWidget* screen);

    // Opens the item's screen as the user choosing the menu item would.
    void openScreen(MenuItem item);
    // The item's screen while it exists, otherwise nullptr.
    QWidget* screen(MenuItem item) const;
    void hideScreen(MenuItem item);

    // Shows a widget as a modeless child of the frame, or brings it to the front when it is open already.
    QMdiSubWindow* showChild(QWidget* widget, bool deleteOnClose = true);
    // Runs a widget as a modal window and deletes it afterwards.
    void showModal(QWidget* widget);
    // Closes every open screen, inside the frame or on its own, whose objectName is listed.
    void closeScreens(const QStringList& objectNames);
    static QStringList setupScreenNames();

    // Opens the help viewer at a topic (0 = contents).
    void ShowHelp(int topic);
    HelpViewer* helpViewer() const { return m_help; }

    // Ends the process; the composition root points it at the event loop's exit.
    std::function<void()> endProcess;
    // Runs after "Load Factory Defaults" changed the record, for what must follow it at once (publishing).
    std::function<void()> factoryDefaultsLoaded;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Kind
    {
        Modeless,
        Modal,
        Persistent
    };
    struct Screen
    {
        Kind kind = Kind::Modeless;
        ScreenFactory factory;
        QPointer<QWidget> instance;
    };

    void buildMenus();
    void registerScreen(MenuItem item, Kind kind, ScreenFactory factory, QWidget* instance);
    QMdiSubWindow* subWindowOf(QWidget* widget) const;

    void onExit();
    void onLoadFactoryDefaults();
    void onSaveAllSettings();

    AppContext& m_ctx;
    QString m_helpFolder;
    QMdiArea* m_mdi = nullptr;
    QMenu* m_debugMenu = nullptr;
    std::map<MenuItem, QAction*> m_actions;
    std::map<MenuItem, Screen> m_screens;
    QPointer<HelpViewer> m_help;
};

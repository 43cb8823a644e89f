// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/support/RunningApp.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QMenu>
#include <QRegularExpression>

namespace {

// Every visible input is named as a screen reader announces it: by its label, never by an internal name such
// as "edtSettleDelay" or "Command1". Returns how many inputs it checked.
int checkAccessibleNames()
{
    static const QRegularExpression internal(QStringLiteral("[a-z][A-Z]|[0-9]"));
    QStringList internalNames;
    for (QWidget* w : QApplication::allWidgets())
        if (internal.match(w->objectName()).hasMatch() && !w->objectName().startsWith(QStringLiteral("qt_")))
            internalNames << w->objectName();
    int inputs = 0;
    for (QWidget* w : QApplication::allWidgets()) {
        const bool input = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                           qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QAbstractButton*>(w) ||
                           qobject_cast<QAbstractItemView*>(w);
        if (!input || !w->isVisible() || qobject_cast<QComboBox*>(w->parentWidget()) ||
            w->parentWidget()->inherits("QMdiSubWindow") || w->parentWidget()->inherits("QAbstractScrollArea"))
            continue; // parts of other widgets and window frames, named by Qt
        ++inputs;
        const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        const std::string where = (w->parentWidget()->objectName() + QLatin1Char('/') + w->objectName()).toStdString();
        EXPECT_FALSE(name.trimmed().isEmpty()) << where;
        for (const QString& objectName : internalNames)
            EXPECT_FALSE(name.contains(objectName)) << where << ": " << name.toStdString();
    }
    return inputs;
}

TEST(AccessibleNames, EveryInputOfEveryScreenHasANameAndNoInternalOne)
{
    RunningApp a;
    for (MenuItem item : {MenuItem::EnergyLoggingForm, MenuItem::EnergyTripForm, MenuItem::DisplayEnergyHistoryGraph,
                          MenuItem::CameraSetup, MenuItem::EnergyMeterSetup, MenuItem::DataLoggingSetup,
                          MenuItem::AdvancedSettings, MenuItem::MeterReading, MenuItem::PulseSimulator,
                          MenuItem::FillArray, MenuItem::ViewLoggingScreenVariables, MenuItem::TripScreenVariables})
        a.open(item);
    for (MenuItem viewer : {MenuItem::ViewLoggingScreenVariables, MenuItem::TripScreenVariables})
        press(a.screen(viewer), "Command1"); // the captions show the variables' names from now on
    QWidget* camera = a.screen(MenuItem::CameraSetup);
    press(camera, "MotionSensitivity");
    int inputs = checkAccessibleNames();
    answerNextDialog([&](QDialog& selection) {
        inputs += checkAccessibleNames();
        selection.close();
    });
    press(camera, "StartCamera");
    EXPECT_GT(inputs, 100);
}

// Alt+F opens File, F1 the help contents and Enter applies a setup screen (the about box, a dialog, already
// closed with Escape).
TEST(Keyboard, MnemonicsHelpKeyAndEnterWorkAsOnAnyDesktop)
{
    RunningApp a;
    MainWindow& window = a.app.window();
    showActive(window);
    QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
    auto* file = window.findChild<QMenu*>(QStringLiteral("FileMenu"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return file->isVisible(); }, 2000));
    file->close();

    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.helpViewer() != nullptr; }));
    auto* revs = child<QLineEdit>(a.open(MenuItem::EnergyMeterSetup), "Text1");
    retype(revs, QStringLiteral("600"));
    QTest::keyClick(revs, Qt::Key_Return);
    EXPECT_EQ(a.ctx().settings.REVS_PER_KWH, 600);
    retype(revs, QStringLiteral("0"));
    QTest::keyClick(revs, Qt::Key_Return);
    EXPECT_EQ(a.ctx().settings.REVS_PER_KWH, 600) << "a value out of range is refused, not applied";
}

} // namespace

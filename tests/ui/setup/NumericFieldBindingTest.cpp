// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/NumericFieldBinding.h"

#include "support/ScriptedDialogs.h"
#include "ui/support/WidgetActions.h"

#include <QClipboard>
#include <QVBoxLayout>

namespace {

// A screen with a logging-interval field, a price field, a field that allows negatives and an unbound field.
struct BoundScreen
{
    BoundScreen()
    {
        auto* layout = new QVBoxLayout(&window);
        for (QLineEdit* field : {&interval, &price, &offset, &other})
            layout->addWidget(field);
        binding.bind(&interval, {30, 60000, 0});
        binding.bind(&price, {0.0000000001, 1000000000, 5});
        binding.bind(&offset, {-50, 50, 2});
        interval.setText(QStringLiteral("300"));
        price.setText(QStringLiteral("13.7"));
        showActive(window);
    }

    // Enters the field with its whole text selected, as a user about to retype it.
    void enter(QLineEdit& field)
    {
        field.setFocus(Qt::TabFocusReason);
        field.selectAll();
    }

    ScriptedDialogs dialogs;
    QWidget window;
    QLineEdit interval;
    QLineEdit price;
    QLineEdit offset;
    QLineEdit other; // an unbound widget to leave to
    NumericFieldBinding binding{dialogs, &window};
};

// The key checks themselves are tested on FieldValidation; here that typed and pasted text reaches them.
TEST(NumericFieldBinding, TypedAndPastedTextGoesThroughTheChecks)
{
    BoundScreen s;
    s.enter(s.interval);
    QTest::keyClicks(&s.interval, "4a5.-0");
    EXPECT_EQ(s.interval.text(), "450");
    EXPECT_TRUE(s.dialogs.shown.empty()); // letters, "." without decimals and "-" above zero are silent
    s.enter(s.price);
    QTest::keyClicks(&s.price, "1.1234567"); // the check sees five decimals before the sixth
    EXPECT_EQ(s.price.text(), "1.123456");
    EXPECT_EQ(s.dialogs.texts().join('|'), "Maximum number of decimal places is 5");

    s.dialogs.shown.clear();
    s.enter(s.offset);
    QGuiApplication::clipboard()->setText(QStringLiteral("4-x.25555"));
    QTest::keyClick(&s.offset, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(s.offset.text(), "4.255");
    EXPECT_EQ(s.dialogs.texts().join('|'), "Maximum number of decimal places is 2") << "one message per paste";
}

TEST(NumericFieldBinding, LeavingWithAnOutOfRangeValueRestoresTheEnteredTextAndKeepsFocusButWindowSwitchesDoNot)
{
    BoundScreen s;
    ASSERT_TRUE(s.interval.hasFocus()); // given by the window opening, not by a tab or click
    QTest::keyClicks(&s.interval, "5");
    for (const Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
        QFocusEvent away(QEvent::FocusOut, reason);
        QApplication::sendEvent(&s.interval, &away);
        QFocusEvent back(QEvent::FocusIn, reason);
        QApplication::sendEvent(&s.interval, &back);
    }
    EXPECT_EQ(s.interval.text(), "3005");
    EXPECT_TRUE(s.dialogs.shown.empty());
    s.interval.setText(QStringLiteral("300"));

    s.enter(s.interval);
    QTest::keyClicks(&s.interval, "29");
    s.other.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(s.dialogs.texts().join('|'), "Maximum allowed value is 60000\r\nMinimum allowed value is 30");
    EXPECT_EQ(s.interval.text(), "300");
    EXPECT_TRUE(s.interval.hasFocus());

    // The text brought back is what the field held when last entered, not what it was loaded with.
    QTest::keyClicks(&s.interval, "45"); // appends: "30045"
    s.interval.setText(QStringLiteral("45"));
    s.price.setFocus(Qt::TabFocusReason);
    EXPECT_EQ(s.interval.text(), "45");
    s.enter(s.interval);
    QTest::keyClick(&s.interval, Qt::Key_Backspace);
    s.other.setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(s.interval.text(), "45"); // the empty field fails as min - 1
    EXPECT_TRUE(s.interval.hasFocus());
    EXPECT_EQ(s.dialogs.shown.size(), 2u);

    s.interval.setText(QStringLiteral("2"));
    s.window.hide(); // closing the screen is not a reason to complain about the field
    EXPECT_EQ(std::tuple(s.interval.text(), s.dialogs.shown.size()), std::tuple("2", 2u));
}

} // namespace

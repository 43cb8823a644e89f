// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the shell's screenshots to docs/screenshots when WATTSIGHT_SCREENSHOTS is set in the environment.
#include "support/TestContext.h"
#include "ui/AboutForm.h"
#include "ui/HelpViewer.h"
#include "ui/MainWindow.h"
#include "ui/SplashForm.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void save(QWidget& w, const char* name)
{
    w.show();
    QTest::qWait(50);
    const QString path = QDir(QStringLiteral(WATTSIGHT_SCREENSHOT_DIR)).filePath(QString::fromLatin1(name));
    EXPECT_TRUE(w.grab().save(path)) << path.toStdString();
}

TEST(Screenshots, ShellWindows)
{
    if (qEnvironmentVariableIsEmpty("WATTSIGHT_SCREENSHOTS"))
        GTEST_SKIP() << "set WATTSIGHT_SCREENSHOTS=1 to refresh docs/screenshots";
    QDir().mkpath(QStringLiteral(WATTSIGHT_SCREENSHOT_DIR));
    TestContext t;
    MainWindow window(t.ctx, QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    window.setWindowTitle(QStringLiteral("WATTSIGHT"));
    window.resize(900, 560);
    save(window, "MDIForm1.png");
    SplashForm splash;
    splash.setAttribute(Qt::WA_DeleteOnClose, false);
    save(splash, "SplashForm.png");
    AboutForm about;
    save(about, "AboutForm.png");
    HelpViewer help(QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    ASSERT_TRUE(help.openTopic(1));
    save(help, "HelpViewer.png");
}

} // namespace

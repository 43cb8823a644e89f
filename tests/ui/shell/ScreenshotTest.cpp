// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the shell's screenshots to docs/screenshots when WATTSIGHT_SCREENSHOTS is set in the environment.
#include "ui/shell/AboutForm.h"
#include "ui/shell/HelpViewer.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/SplashForm.h"
#include "ui/support/RunningApp.h"

namespace {

void save(QWidget& w, const char* name)
{
    w.show();
    saveScreenshot(&w, name);
}

TEST(Screenshots, ShellWindows)
{
    if (!screenshotsWanted())
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

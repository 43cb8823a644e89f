// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"
#include "ui/shell/AboutForm.h"
#include "ui/shell/HelpViewer.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QtDialogs.h"
#include "ui/support/WidgetActions.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTextBrowser>

namespace {

// The real dialogs: the application's title, dismissing a question is the safe No, the save
// dialog adds the default extension and a cancelled one gives no name.
TEST(QtDialogs, MessagesAndFileDialogs)
{
    QtDialogs dialogs;
    QStringList titles;
    answerNextDialog([&](QDialog& box) {
        titles << box.windowTitle();
        qobject_cast<QMessageBox*>(&box)->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(dialogs.message(QStringLiteral("Question?"), Dialogs::Buttons::YesNo), Dialogs::Answer::No);

    QTemporaryDir dir;
    Dialogs::FileRequest request{QStringLiteral("Export Data"), dir.path(), QStringLiteral("energy"),
                                 QStringLiteral("csv"), QStringLiteral("Delimited (*.csv)")};
    answerNextDialog([&](QDialog& dialog) {
        titles << dialog.windowTitle();
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        titles << edit->text();
        edit->setText(QStringLiteral("march"));
        dialog.accept();
    });
    EXPECT_EQ(dialogs.saveFileName(request), QDir(dir.path()).filePath(QStringLiteral("march.csv")));
    EXPECT_EQ(titles, QStringList({"WATTSIGHT", "Export Data", "energy"}));
    answerNextDialog([](QDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(dialogs.openFileName(request), QString());
}

TEST(HelpPages, EveryTopicExistsEveryLocalLinkResolvesTheViewerNavigatesAndThePagesAreFoundWhereInstalled)
{
    const QDir help(QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    for (int topic = 0; topic <= 6; ++topic)
        EXPECT_TRUE(QFileInfo::exists(help.filePath(HelpViewer::pageForTopic(topic)))) << topic;
    EXPECT_EQ(HelpViewer::pageForTopic(99), QStringLiteral("index.html"));
    const QRegularExpression href(QStringLiteral("href=\"([^\"#:]+)(#[^\"]*)?\""));
    const QStringList pages = help.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_GE(pages.size(), 7);
    for (const QString& page : pages) {
        const QString html = QString::fromUtf8(fileBytes(help.filePath(page)));
        EXPECT_TRUE(html.contains(QLatin1String("<title>"))) << page.toStdString();
        for (const auto& m : href.globalMatch(html))
            EXPECT_TRUE(QFileInfo::exists(help.filePath(m.captured(1))))
                << page.toStdString() << " -> " << m.captured(1).toStdString();
    }

    // The viewer's Back, Forward and Home buttons.
    HelpViewer viewer(QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    viewer.show();
    ASSERT_TRUE(viewer.openTopic(0) && viewer.openTopic(2));
    for (auto [button, page] : {std::pair{"btnBack", QStringLiteral("index.html")},
                                {"btnForward", HelpViewer::pageForTopic(2)},
                                {"btnHome", QStringLiteral("index.html")}}) {
        auto* b = child<QAbstractButton>(&viewer, button);
        ASSERT_TRUE(b && b->isEnabled()) << button;
        b->click();
        EXPECT_EQ(viewer.browser()->source().fileName(), page) << button;
    }

    // A build tree keeps the pages beside the program; the package puts the program in bin/ and the pages in
    // share/wattsight/help/.
    QTemporaryDir root;
    const QDir dir(root.path());
    ASSERT_TRUE(dir.mkpath(QStringLiteral("usr/bin")) && dir.mkpath(QStringLiteral("usr/share/wattsight/help")));
    const QString bin = dir.filePath(QStringLiteral("usr/bin"));
    EXPECT_EQ(HelpViewer::folderFor(bin), dir.filePath(QStringLiteral("usr/share/wattsight/help")));
    ASSERT_TRUE(dir.mkpath(QStringLiteral("usr/bin/help")));
    EXPECT_EQ(HelpViewer::folderFor(bin), dir.filePath(QStringLiteral("usr/bin/help")));
}

} // namespace

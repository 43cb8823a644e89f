// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestContext.h"
#include "ui/AboutForm.h"
#include "ui/HelpViewer.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"
#include "ui/SplashForm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList labelTexts(const QWidget& w)
{
    QStringList texts;
    for (const QLabel* label : w.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

TEST(SplashForm, ShowsNameVersionAndStaysOnTop)
{
    SplashForm splash;
    splash.setAttribute(Qt::WA_DeleteOnClose, false);
    splash.show();
    auto* name = splash.findChild<QLabel*>(QStringLiteral("lblProductName"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Wattsight"));
    EXPECT_TRUE(labelTexts(splash).contains(QStringLiteral("Version 1.0.5")));
    for (const char* n : {"lblCopyright", "lblCompanyProduct"}) {
        auto* label = splash.findChild<QLabel*>(QString::fromLatin1(n));
        ASSERT_NE(label, nullptr) << n;
        EXPECT_FALSE(label->text().isEmpty()) << n;
    }
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    auto* timer = splash.findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 8000);
}

TEST(SplashForm, ClosesOnKeyClickOrTimer)
{
    {
        QPointer<SplashForm> splash = new SplashForm;
        splash->show();
        QTest::keyClick(splash.data(), Qt::Key_Space);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(splash.isNull()) << "key press";
    }
    {
        QPointer<SplashForm> splash = new SplashForm;
        splash->show();
        // A click on a label lands on the frame behind it.
        QTest::mouseClick(splash->findChild<QLabel*>(QStringLiteral("lblCopyright")), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(splash.isNull()) << "click";
    }
    {
        QPointer<SplashForm> splash = new SplashForm;
        splash->show();
        splash->findChild<QTimer*>(QStringLiteral("Timer1"))->start(1);
        QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 2000);
    }
}

TEST(AboutForm, FourLabelsAndNoButton)
{
    AboutForm about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About WATTSIGHT"));
    EXPECT_TRUE(about.isModal());
    const QStringList texts = labelTexts(about);
    ASSERT_EQ(texts.size(), 4);
    EXPECT_EQ(texts[0], QStringLiteral("WATTSIGHT"));
    EXPECT_TRUE(texts[1].contains(QLatin1String("wattsight")));
    EXPECT_EQ(texts[2], QStringLiteral("Version 1.0.5"));
    EXPECT_TRUE(texts[3].startsWith(QLatin1String("Copyright")));
    EXPECT_TRUE(about.findChildren<QAbstractButton*>().isEmpty());
}

TEST(AboutForm, AboutMenuRunsItModally)
{
    TestContext t;
    MainWindow window(t.ctx, QString());
    window.show();
    QString title;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box) {
            title = box->windowTitle();
            modal = box->isModal();
            box->close();
        }
    });
    window.action(MenuItem::About)->trigger();
    EXPECT_EQ(title, QStringLiteral("About WATTSIGHT"));
    EXPECT_TRUE(modal);
}

TEST(QtDialogs, MessageUsesTheApplicationTitleAndReturnsTheButton)
{
    QtDialogs dialogs;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            title = box->windowTitle();
            box->button(QMessageBox::No)->click();
        }
    });
    EXPECT_EQ(dialogs.message(QStringLiteral("Question?"), Dialogs::Buttons::YesNo), Dialogs::Answer::No);
    EXPECT_EQ(title, QStringLiteral("WATTSIGHT"));

    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            title = box->windowTitle();
            box->reject();
        }
    });
    // Dismissing a Yes/No box without choosing is the safe No.
    EXPECT_EQ(dialogs.message(QStringLiteral("Question?"), Dialogs::Buttons::YesNo, Dialogs::Icon::Exclamation,
                              QStringLiteral("Own title")),
              Dialogs::Answer::No);
    EXPECT_EQ(title, QStringLiteral("Own title"));
}

TEST(QtDialogs, SaveDialogAddsTheDefaultExtensionAndCancelGivesEmpty)
{
    QTemporaryDir dir;
    QtDialogs dialogs;
    Dialogs::FileRequest request{QStringLiteral("Export Data"), dir.path(), QStringLiteral("energy"),
                                 QStringLiteral("csv"), QStringLiteral("Delimited (*.csv)")};
    QString title;
    QString suggested;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            suggested = edit->text();
            edit->setText(QStringLiteral("march"));
        }
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(dialogs.saveFileName(request), QDir(dir.path()).filePath(QStringLiteral("march.csv")));
    EXPECT_EQ(title, QStringLiteral("Export Data"));
    EXPECT_EQ(suggested, QStringLiteral("energy"));

    QTimer::singleShot(0, [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            qobject_cast<QDialog*>(dialog)->reject();
    });
    EXPECT_EQ(dialogs.openFileName(request), QString());
}

TEST(HelpPages, EveryTopicExistsAndEveryLocalLinkResolves)
{
    const QDir help(QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    for (int topic = 0; topic <= 6; ++topic)
        EXPECT_TRUE(QFileInfo::exists(help.filePath(HelpViewer::pageForTopic(topic)))) << topic;
    EXPECT_EQ(HelpViewer::pageForTopic(99), QStringLiteral("index.html"));
    const QRegularExpression href(QStringLiteral("href=\"([^\"#:]+)(#[^\"]*)?\""));
    const QStringList pages = help.entryList({QStringLiteral("*.html")}, QDir::Files);
    ASSERT_GE(pages.size(), 7);
    for (const QString& page : pages) {
        QFile file(help.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(html.contains(QLatin1String("<title>"))) << page.toStdString();
        for (const auto& m : href.globalMatch(html))
            EXPECT_TRUE(QFileInfo::exists(help.filePath(m.captured(1))))
                << page.toStdString() << " -> " << m.captured(1).toStdString();
    }
}

TEST(HelpViewer, BackForwardAndHome)
{
    HelpViewer viewer(QStringLiteral(WATTSIGHT_HELP_SOURCE_DIR));
    viewer.show();
    ASSERT_TRUE(viewer.openTopic(0));
    ASSERT_TRUE(viewer.openTopic(2));
    auto* back = viewer.findChild<QAbstractButton*>(QStringLiteral("btnBack"));
    auto* forward = viewer.findChild<QAbstractButton*>(QStringLiteral("btnForward"));
    auto* home = viewer.findChild<QAbstractButton*>(QStringLiteral("btnHome"));
    ASSERT_TRUE(back && forward && home);
    EXPECT_TRUE(back->isEnabled());
    back->click();
    EXPECT_EQ(viewer.browser()->source().fileName(), QStringLiteral("index.html"));
    EXPECT_TRUE(forward->isEnabled());
    forward->click();
    EXPECT_EQ(viewer.browser()->source().fileName(), HelpViewer::pageForTopic(2));
    home->click();
    EXPECT_EQ(viewer.browser()->source().fileName(), QStringLiteral("index.html"));
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/HelpViewer.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const char* const Pages[] = {
    "index.html",   "getting-started.html", "camera.html",   "trip.html",
    "logging.html", "setup.html",           "exchange.html", "publishing.html",
};

QToolButton* addButton(QWidget* parent, QHBoxLayout* row, const char* name, const QString& text,
                       QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(text);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    row->addWidget(button);
    return button;
}
} // namespace

HelpViewer::HelpViewer(const QString& helpFolder, QWidget* parent) : QWidget(parent, Qt::Window), m_folder(helpFolder)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("WATTSIGHT Help"));
    resize(760, 600);

    auto* row = new QHBoxLayout;
    QToolButton* back = addButton(this, row, "btnBack", tr("Back"), QStyle::SP_ArrowBack);
    QToolButton* forward = addButton(this, row, "btnForward", tr("Forward"), QStyle::SP_ArrowForward);
    QToolButton* home = addButton(this, row, "btnHome", tr("Contents"), QStyle::SP_DirHomeIcon);
    row->addStretch();

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({helpFolder});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_browser, 1);

    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { openTopic(0); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QStringLiteral("WATTSIGHT Help")
                                       : QStringLiteral("WATTSIGHT Help - ") + title);
    });
}

QString HelpViewer::folderFor(const QString& programFolder)
{
    const QDir dir(programFolder);
    const QString beside = dir.filePath(QStringLiteral("help"));
    if (QFileInfo(beside).isDir())
        return beside;
    return QDir::cleanPath(dir.filePath(QStringLiteral("../share/wattsight/help")));
}

QString HelpViewer::pageForTopic(int topic)
{
    const int count = static_cast<int>(std::size(Pages));
    return QString::fromLatin1(topic >= 1 && topic < count ? Pages[topic] : Pages[0]);
}

QString HelpViewer::contentsPath() const
{
    return QDir(m_folder).filePath(pageForTopic(0));
}

bool HelpViewer::openTopic(int topic)
{
    const QString path = QDir(m_folder).filePath(pageForTopic(topic));
    if (!QFileInfo(path).isFile())
        return false;
    m_browser->setSource(QUrl::fromLocalFile(path));
    return true;
}

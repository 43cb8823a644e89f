// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;
class QToolButton;

// Shows the HTML help pages of a folder, with back, forward and home (the contents page index.html).
class HelpViewer : public QWidget
{
    Q_OBJECT
public:
    HelpViewer(const QString& helpFolder, QWidget* parent = nullptr);

    // Where a program in programFolder finds the help pages: "help" beside it in a build tree, else the
    // installed share/wattsight/help beside its bin folder (the package's layout, packaging/CMakeLists.txt).
    static QString folderFor(const QString& programFolder);
    // The page of each help topic number; 0 and unknown numbers give the contents page.
    static QString pageForTopic(int topic);
    QString contentsPath() const;
    // Opens the topic's page; false when the page is missing.
    bool openTopic(int topic);
    QTextBrowser* browser() const { return m_browser; }

private:
    QString m_folder;
    QTextBrowser* m_browser = nullptr;
};

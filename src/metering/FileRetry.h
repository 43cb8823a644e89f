// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>
#include <functional>

struct AppContext;
struct GlobalSettings;

// How often a file operation is tried and how long to wait after each failed attempt.
struct RetryRule
{
    int tries = 3;
    int delayTenths = 10;

    static RetryRule configFiles() { return {3, 10}; }
    static RetryRule dataWrite(const GlobalSettings& settings);
    static RetryRule dataRead(const GlobalSettings& settings);
};

// Tries the operation up to rule.tries times (at least once). After every failed attempt, the last one
// included, it waits rule.delayTenths through DelayTenths, so window events (timer ticks, button presses)
// keep being handled meanwhile. True as soon as one attempt succeeds.
bool retryFileOperation(AppContext& ctx, RetryRule rule, const std::function<bool()>& operation);

// The files some writer has begun and not yet finished. Because the retry wait processes events, a timer
// tick or a button can reach a writer of the same file while the first one waits; the guard lets the
// second one see that and stay away instead of interleaving its lines with the first one's.
class FilesInUse
{
public:
    bool contains(const QString& path) const { return m_paths.contains(key(path)); }

private:
    friend class FileInUseGuard;
    static QString key(const QString& path);
    QSet<QString> m_paths;
};

// Claims a file for the lifetime of the guard; acquired() is false when another writer holds it.
class FileInUseGuard
{
public:
    FileInUseGuard(FilesInUse& files, const QString& path);
    ~FileInUseGuard();
    FileInUseGuard(const FileInUseGuard&) = delete;
    FileInUseGuard& operator=(const FileInUseGuard&) = delete;

    bool acquired() const { return m_acquired; }

private:
    FilesInUse& m_files;
    QString m_key;
    bool m_acquired = false;
};

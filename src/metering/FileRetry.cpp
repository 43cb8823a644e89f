// SPDX-License-Identifier: GPL-3.0-or-later
#include "metering/FileRetry.h"

#include "app/AppContext.h"
#include "app/DelayTenths.h"

#include <QFileInfo>
#include <algorithm>

RetryRule RetryRule::dataWrite(const GlobalSettings& settings)
{
    return {settings.FILE_WRITE_TRIES, settings.FILE_WRITE_DELAY_TENTHS};
}

RetryRule RetryRule::dataRead(const GlobalSettings& settings)
{
    return {settings.FILE_READ_TRIES, settings.FILE_READ_DELAY_TENTHS};
}

bool retryFileOperation(AppContext& ctx, RetryRule rule, const std::function<bool()>& operation)
{
    const int tries = std::max(rule.tries, 1);
    for (int i = 0; i < tries; ++i) {
        if (operation())
            return true;
        DelayTenths(ctx.services.clock, ctx.services.pump, rule.delayTenths);
    }
    return false;
}

QString FilesInUse::key(const QString& path)
{
    // One file reached through different spellings of its path is still one file.
    return QFileInfo(path).absoluteFilePath();
}

FileInUseGuard::FileInUseGuard(FilesInUse& files, const QString& path) : m_files(files), m_key(FilesInUse::key(path))
{
    if (!m_files.m_paths.contains(m_key)) {
        m_files.m_paths.insert(m_key);
        m_acquired = true;
    }
}

FileInUseGuard::~FileInUseGuard()
{
    if (m_acquired)
        m_files.m_paths.remove(m_key);
}

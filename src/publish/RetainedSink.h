// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Where retained messages go. Only the newest payload of each topic matters, so an implementation may
// replace one that has not gone out yet. Must return at once: it is called on the user-interface thread.
class RetainedSink
{
public:
    virtual ~RetainedSink() = default;
    virtual void publishRetained(const QString& topic, const QByteArray& payload) = 0;
};

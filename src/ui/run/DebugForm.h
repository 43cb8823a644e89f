// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

struct MeteringContext;

// "Debug Form": the pulse simulator, for testing without a camera. The first button starts a revolution
// and leaves the pulse in progress until the second one moves the mark on, so minute updates wait between.
class DebugForm : public QWidget
{
    Q_OBJECT
public:
    explicit DebugForm(MeteringContext& ctx, QWidget* parent = nullptr);

    void simulateMarkPulse();
    void simulateMarkMovingOn();

private:
    MeteringContext& m_ctx;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

struct AppContext;
class QMdiArea;

// Where to begin, shown in the middle of the empty main window while nothing runs: trying the program
// without a camera, and Find Mark with one. It goes as soon as a screen is open or something runs.
class StartHint : public QLabel
{
    Q_OBJECT

public:
    StartHint(const AppContext& ctx, QMdiArea& area);

    // Shows or hides the hint for the present state of the frame.
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centre();

    const AppContext& m_ctx;
    QMdiArea& m_area;
};

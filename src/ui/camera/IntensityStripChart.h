// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class IntensityHistory;

// Draws the image intensity of the last seconds as a trace scrolling to the left, the trigger level as a
// line across it and a marker at every counted revolution. Whether the trace clears the line at each mark
// and stays below it in between is what tells a good trigger level; marker spacing shows the debounce.
class IntensityStripChart : public QWidget
{
    Q_OBJECT

public:
    explicit IntensityStripChart(const IntensityHistory& history, QWidget* parent = nullptr);

    void setTriggerLevel(qint32 level);
    qint32 triggerLevel() const { return m_triggerLevel; }
    QSize sizeHint() const override { return {560, 150}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const IntensityHistory& m_history;
    qint32 m_triggerLevel = 0;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

// How a long data operation shows its progress bar: range first, then values. Either may be left empty.
struct ProgressReport
{
    std::function<void(int minimum, int maximum)> setRange;
    std::function<void(int value)> setValue;

    void range(int minimum, int maximum) const
    {
        if (setRange)
            setRange(minimum, maximum);
    }
    void value(int v) const
    {
        if (setValue)
            setValue(v);
    }
};

// A bar of at most `maximum` steps advanced by one every `step` items, never beyond its maximum.
class ProgressStepper
{
public:
    ProgressStepper(const ProgressReport& report, int maximum, int step)
        : m_report(report), m_maximum(maximum), m_step(step < 1 ? 1 : step)
    {
        m_report.range(0, maximum);
        m_report.value(0);
    }
    void item()
    {
        if (++m_counter < m_step)
            return;
        m_counter = 0;
        if (m_value < m_maximum)
            m_report.value(++m_value);
    }
    int value() const { return m_value; }

private:
    const ProgressReport& m_report;
    int m_maximum;
    int m_step;
    int m_counter = 0;
    int m_value = 0;
};

// The user-facing side of a data window: hide or show it around its questions and dialogs.
struct FormHooks
{
    std::function<void()> hide;
    std::function<void()> show;
    ProgressReport progress;
};

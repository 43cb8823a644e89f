// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "metering/ScreenVariables.h"

#include <QWidget>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;

// A debug viewer of 21 globals: pressing Command1 writes each name into Label1..Label21 and its value at
// that moment into Text1..Text21. Nothing refreshes by itself. Serves the trip and the logging alike.
class VariableViewerForm : public QWidget
{
    Q_OBJECT
public:
    using Source = std::function<ScreenVariables()>;

    VariableViewerForm(const QString& objectName, const QString& caption, Source source, QWidget* parent = nullptr);

    // "Debug Trip Form" and "Debug Logging Form" on the given state.
    static VariableViewerForm* forTrip(const MeteringContext& ctx);
    static VariableViewerForm* forLogging(const MeteringContext& ctx);

    void showVariables();

private:
    Source m_source;
    std::vector<QLabel*> m_names;
    std::vector<QLineEdit*> m_values;
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/TextFormat.h"

#include <QLocale>
#include <QString>

class QCustomPlot;
class QPrinter;
struct GraphSeries;

// The look of the history graph and every way it leaves the screen: the window's view, the printer and
// the PNG and PDF files all go through this one class, so they show the same picture.
class GraphPainter
{
public:
    explicit GraphPainter(const QLocale& locale) : m_locale(locale), m_dates(locale) {}

    // Clears the plot and draws the series with its titles on a white, light-grey-gridded plot.
    void draw(QCustomPlot& plot, const GraphSeries& series) const;
    bool print(QCustomPlot& plot, QPrinter& printer) const;
    // By the file's extension: ".pdf" writes a PDF, anything else a PNG.
    bool save(QCustomPlot& plot, const QString& fileName) const;
    // What the hover tooltip says about one point; `time` as graphTime().
    QString pointText(double time, double value) const;

    static inline const QString NoteText = QStringLiteral("Note x-axis values time-formatted (hh:mm)");

private:
    QLocale m_locale;
    GeneralDateFormat m_dates;
};

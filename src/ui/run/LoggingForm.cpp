// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/LoggingForm.h"

#include "metering/LoggingEngine.h"
#include "ui/run/CommentForm.h"
#include "ui/run/RunFigurePanel.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

RunFigureTexts loggingTexts()
{
    RunFigureTexts t;
    t.label1 = QStringLiteral("Time Logging Started");
    t.tip1 = QStringLiteral("The time you pressed the Start button and started logging data.");
    t.label3 = QStringLiteral("Seconds since start");
    t.tip3 = QStringLiteral("Seconds elapsed since you pressed the Start button.");
    t.tip3a = QStringLiteral("Time since you started logging, in hours, minutes and seconds.");
    t.name3a = QStringLiteral("Time since start");
    t.label4 = QStringLiteral("Disk revolutions since start");
    t.tip4 = QStringLiteral(
        "Total number of times the disk in the electricity meter has revolved since starting to log data.");
    t.tip5 = QStringLiteral("Total electricity used since starting logging data.");
    t.label6 = QStringLiteral("Total cost since start");
    t.tip6 = QStringLiteral("Cost of the electricity used since starting this logging task.");
    return t;
}

} // namespace

LoggingForm::LoggingForm(LoggingEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("LoggingForm"));
    setWindowTitle(QStringLiteral("Data Logging Form"));

    m_panel = new RunFigurePanel(loggingTexts(), this);
    m_writeStatus = new QLabel(this);
    m_writeStatus->setObjectName(QStringLiteral("WriteStatus"));
    // Room for the text from the start: it is painted at once, before any layout pass could widen the label.
    m_writeStatus->setMinimumWidth(
        m_writeStatus->fontMetrics().horizontalAdvance(QStringLiteral("Writing data to disk")) + 4);
    m_panel->addToStatusLine(m_writeStatus);
    m_camera = m_panel->addValue("Text13", "Label23", QStringLiteral("Camera Status"),
                                 QStringLiteral("Indicates that the camera is (or is not) running"));
    m_camera->setAlignment(Qt::AlignLeft);
    m_addComment = m_panel->addButton("butAddComment", QStringLiteral("Add Comment"));

    connect(m_panel->startButton(), &QPushButton::clicked, &m_engine, [this] { m_engine.startButton(); });
    connect(m_panel->stopButton(), &QPushButton::clicked, &m_engine, &LoggingEngine::stopButton);
    connect(m_addComment, &QPushButton::clicked, this, &LoggingForm::addComment);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);
    layout->addStretch();

    connect(&m_engine, &LoggingEngine::displayChanged, this, &LoggingForm::render);
    m_engine.load();
    render();
}

void LoggingForm::render()
{
    const LoggingDisplay& d = m_engine.display();
    m_panel->render(d);
    m_camera->setText(d.Text13);
    m_addComment->setEnabled(d.addCommentEnabled);
    if (m_writeStatus->text() != d.WriteStatus) {
        m_writeStatus->setText(d.WriteStatus);
        // The backup runs inside this event, so a later paint would come after it has ended.
        m_writeStatus->repaint();
    }
}

void LoggingForm::addComment()
{
    CommentForm comment(m_engine.context(), this);
    comment.exec();
}

void LoggingForm::closeEvent(QCloseEvent* event)
{
    if (m_engine.canClose())
        event->accept();
    else
        event->ignore();
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/run/CommentForm.h"

#include "metering/LogEvent.h"
#include "metering/MeteringContext.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CommentForm::CommentForm(MeteringContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("CommentForm"));
    setWindowTitle(QStringLiteral("Add Comment"));
    setModal(true);

    m_comment = new QPlainTextEdit(m_ctx.strGlobalUserComment, this);
    m_comment->setObjectName(QStringLiteral("edtComment"));
    m_comment->setToolTip(QStringLiteral("Add a comment to store at the next logging event"));
    m_comment->setAccessibleName(QStringLiteral("Comment"));
    m_comment->setTabChangesFocus(true);
    const QFontMetrics metrics(m_comment->font());
    m_comment->setMinimumWidth(metrics.averageCharWidth() * 60);
    m_comment->setFixedHeight(metrics.lineSpacing() * 4 + 2 * m_comment->frameWidth() + 8);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("butApply"));
    auto* clear = new QPushButton(QStringLiteral("Clear"), this);
    clear->setObjectName(QStringLiteral("butClear"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("butClose"));
    // Enter belongs to the box (a line break), not to a default button.
    for (QPushButton* b : {apply, clear, close})
        b->setAutoDefault(false);
    connect(apply, &QPushButton::clicked, this, &CommentForm::apply);
    connect(clear, &QPushButton::clicked, this, &CommentForm::clear);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(clear);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_comment);
    layout->addLayout(buttons);

    m_comment->moveCursor(QTextCursor::End);
    m_comment->setFocus();
}

void CommentForm::apply()
{
    m_ctx.strGlobalUserComment = CleanTypedComment(m_ctx, m_comment->toPlainText());
    accept();
}

void CommentForm::clear()
{
    m_comment->clear();
    m_ctx.strGlobalUserComment.clear();
    m_comment->setFocus();
}

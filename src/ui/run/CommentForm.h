// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPlainTextEdit;
struct MeteringContext;

// "Add Comment": edits the comment that the next logged record will carry. Apply stores the cleaned text
// and closes, Clear empties the box and the pending comment and stays open, Close leaves it unchanged.
class CommentForm : public QDialog
{
    Q_OBJECT
public:
    explicit CommentForm(MeteringContext& ctx, QWidget* parent = nullptr);

private:
    void apply();
    void clear();

    MeteringContext& m_ctx;
    QPlainTextEdit* m_comment = nullptr;
};

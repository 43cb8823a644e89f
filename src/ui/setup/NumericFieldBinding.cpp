// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/setup/NumericFieldBinding.h"

#include "app/FieldValidation.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

namespace {

// Focus that leaves for a message box, a menu or another application is not the user leaving the field.
bool isWindowSwitch(const QFocusEvent& event)
{
    return event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason;
}

// Editing keys (arrows, Delete, Tab, Enter, shortcuts) are the line edit's own business.
bool isTypedText(const QString& text)
{
    return !text.isEmpty() && !(text.size() == 1 && text[0].category() == QChar::Other_Control);
}

} // namespace

NumericFieldBinding::NumericFieldBinding(Dialogs& dialogs, QObject* parent) : QObject(parent), m_dialogs(dialogs) {}

void NumericFieldBinding::bind(QLineEdit* field, const NumericFieldLimits& limits)
{
    m_limits.insert(field, limits);
    field->installEventFilter(this);
    field->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
    connect(field, &QLineEdit::textChanged, this, [this, field] { onChange(field); });
    connect(field, &QObject::destroyed, this, [this, field] { m_limits.remove(field); });
}

bool NumericFieldBinding::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field || !m_limits.contains(field))
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        // Coming back from another window to the field that had the focus keeps the text remembered on entry.
        if (!isWindowSwitch(*static_cast<QFocusEvent*>(event)) || m_focused != field)
            onGotFocus(field);
        return false;
    case QEvent::FocusOut:
        if (!isWindowSwitch(*static_cast<QFocusEvent*>(event)))
            onLostFocus(field);
        return false;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Paste)) {
            typeIn(field, QGuiApplication::clipboard()->text());
            return true;
        }
        if (key->key() == Qt::Key_Backspace || !isTypedText(key->text()))
            return false;
        typeIn(field, key->text());
        return true;
    }
    case QEvent::InputMethod: {
        const QString committed = static_cast<QInputMethodEvent*>(event)->commitString();
        typeIn(field, committed);
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasText())
            return false;
        field->deselect();
        field->setCursorPosition(field->cursorPositionAt(drop->position().toPoint()));
        typeIn(field, drop->mimeData()->text());
        // A move would let the source delete what was only partly accepted here.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::MiddleButton || !QGuiApplication::clipboard()->supportsSelection())
            return false;
        field->deselect();
        field->setCursorPosition(field->cursorPositionAt(mouse->position().toPoint()));
        typeIn(field, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    }
    case QEvent::ContextMenu:
        showContextMenu(field, static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    default:
        return false;
    }
}

void NumericFieldBinding::onChange(QLineEdit* field)
{
    const QString text = field->text();
    const QString stripped = FieldValidation::StripMisplacedMinus(text);
    if (stripped == text)
        return;
    const int cursor = field->cursorPosition();
    const int removedBefore = int(text.left(cursor).count(QLatin1Char('-')));
    field->setText(stripped);
    field->setCursorPosition(cursor - removedBefore);
}

void NumericFieldBinding::rewrite(QLineEdit* field, const QString& text)
{
    field->setText(text);
    if (m_focused == field)
        m_oldText = text;
}

void NumericFieldBinding::onGotFocus(QLineEdit* field)
{
    m_oldText = field->text();
    m_focused = field;
}

void NumericFieldBinding::onLostFocus(QLineEdit* field)
{
    // A field that is being hidden or closed, or that never saw its focus arrive (Qt moves the focus away
    // from a widget that was only about to receive it when the previous field takes it back), is not
    // being left by the user.
    if (m_focused != field || !field->isVisible())
        return;
    m_focused = nullptr;
    if (!acceptOrRestore(field))
        field->setFocus(Qt::OtherFocusReason);
}

bool NumericFieldBinding::confirmEnter(QWidget* focus)
{
    auto* field = qobject_cast<QLineEdit*>(focus);
    return !field || !m_limits.contains(field) || acceptOrRestore(field);
}

bool NumericFieldBinding::acceptOrRestore(QLineEdit* field)
{
    const NumericFieldLimits& limits = m_limits[field];
    const auto range = FieldValidation::ValidateRange(field->text(), limits.min, limits.max, m_oldText, true);
    if (range.ok)
        return true;
    field->setText(m_oldText);
    FieldValidation::ShowValidationMessage(m_dialogs, range.message);
    return false;
}

void NumericFieldBinding::typeIn(QLineEdit* field, const QString& text)
{
    const NumericFieldLimits& limits = m_limits[field];
    QString firstMessage;
    for (const QChar c : text) {
        const auto key = FieldValidation::ValidateKeyPress(field->text(), c.unicode(), limits.min, limits.max,
                                                           limits.decimals, true);
        if (key.keyCode != 0)
            field->insert(QString(c));
        else if (firstMessage.isEmpty())
            firstMessage = key.message;
    }
    // One message for a whole paste, not one per refused character.
    FieldValidation::ShowValidationMessage(m_dialogs, firstMessage);
}

void NumericFieldBinding::showContextMenu(QLineEdit* field, const QPoint& globalPos)
{
    QMenu* menu = field->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The paste entry is found by the caption the line edit gives it (its shortcut follows a tab).
    const QString pasteCaption = QLineEdit::tr("&Paste");
    for (QAction* action : menu->actions()) {
        if (action->text().section(QLatin1Char('\t'), 0, 0) != pasteCaption)
            continue;
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, field,
                [this, field] { typeIn(field, QGuiApplication::clipboard()->text()); });
    }
    menu->popup(globalPos);
}

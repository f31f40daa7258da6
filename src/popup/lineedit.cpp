#include "lineedit.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>

LineEdit::LineEdit(QWidget *parent)
    : QLineEdit(parent)
{
    setClearButtonEnabled(true);
    const QList<QToolButton *> buttons = findChildren<QToolButton *>(QString(), Qt::FindChildrenRecursively);
    if (buttons.isEmpty())
        return;
    QToolButton *clearButton = buttons.first();
    clearButton->setToolTip(tr("入力欄クリア"));
    // The button empties the box itself; the click is then announced as
    // returnPressed() too.
    connect(clearButton, &QAbstractButton::clicked, this, &QLineEdit::returnPressed);
}

void LineEdit::keyPressEvent(QKeyEvent *event)
{
    const bool altOnly = event->modifiers() == Qt::AltModifier;
    if (event->key() == Qt::Key_Return) {
        emit lineEditReturn();
        event->accept();
    } else if (altOnly && event->key() == Qt::Key_O) {
        emit CaseChange();
        event->ignore();
    } else if (altOnly && event->key() == Qt::Key_W) {
        emit WordChange();
        event->ignore();
    } else if (altOnly && event->key() == Qt::Key_BracketLeft) {
        emit RegexpChange();
        event->ignore();
    } else if (event == QKeySequence::Paste) {
        pasteClipboardText();
        event->accept();
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void LineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    emit receivedFocus();
}

void LineEdit::pasteClipboardText()
{
    if (isReadOnly() || (clipboardText.isEmpty() && !hasSelectedText()))
        return;
    insert(clipboardText);
}

void LineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    // Qt's own menu reads the clipboard to tell whether pasting is possible.
    // Built here with Qt's texts and shortcuts.
    QMenu menu(this);
    const bool editable = !isReadOnly();
    auto add = [&](const char *text, QKeySequence::StandardKey key, bool enabled, auto slot) {
        QAction *action = menu.addAction(QLineEdit::tr(text), this, slot);
        action->setShortcut(key);
        action->setEnabled(enabled);
        return action;
    };
    add("&Undo", QKeySequence::Undo, editable && isUndoAvailable(), &QLineEdit::undo);
    add("&Redo", QKeySequence::Redo, editable && isRedoAvailable(), &QLineEdit::redo);
    menu.addSeparator();
    const bool selected = hasSelectedText() && echoMode() == Normal;
    add("Cu&t", QKeySequence::Cut, editable && selected, &QLineEdit::cut);
    add("&Copy", QKeySequence::Copy, selected, &QLineEdit::copy);
    add("&Paste", QKeySequence::Paste, editable && !clipboardText.isEmpty(), &LineEdit::pasteClipboardText);
    add("Delete", QKeySequence::UnknownKey, editable && hasSelectedText(), &QLineEdit::del);
    menu.addSeparator();
    add("Select All", QKeySequence::SelectAll, !text().isEmpty() && selectedText() != text(),
        &QLineEdit::selectAll);
    menu.exec(event->globalPos());
}

void LineEdit::mousePressEvent(QMouseEvent *event)
{
    // The middle button pastes the X selection, read from its owner on the
    // GUI thread: not offered.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void LineEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

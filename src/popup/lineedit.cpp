#include "lineedit.h"

#include <QKeyEvent>
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
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void LineEdit::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    emit receivedFocus();
}

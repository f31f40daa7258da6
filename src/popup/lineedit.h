#ifndef LINEEDIT_H
#define LINEEDIT_H

#include <QLineEdit>

// The filter box of the popup: a line edit with a clear button that keeps
// Return to itself and reports focus and its Alt bindings as signals.
//
// It pastes the clipboard text it was last told of instead of asking the
// system: Qt would read the clipboard on the GUI thread and wait for its
// owner, and an owner that never answers would freeze the popup. The same
// holds for its context menu, and for the middle click that pastes the X
// selection, which it does not offer.
class LineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit LineEdit(QWidget *parent = nullptr);

    // The clipboard's text as the clipboard watcher last read it: what a
    // paste into the box inserts.
    void setClipboardText(const QString &text) { clipboardText = text; }
    // Inserts that text in place of the selection, as a paste does.
    void pasteClipboardText();

signals:
    void receivedFocus();
    void lineEditReturn();
    void CaseChange();
    void WordChange();
    void RegexpChange();
    // Declared for listeners of the arrow keys; not emitted.
    void lineEditUpDown();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString clipboardText;
};

#endif  // LINEEDIT_H

#ifndef LINEEDIT_H
#define LINEEDIT_H

#include <QLineEdit>

// The filter box of the popup: a line edit with a clear button that keeps
// Return to itself and reports focus and its Alt bindings as signals.
class LineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit LineEdit(QWidget *parent = nullptr);

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
};

#endif  // LINEEDIT_H

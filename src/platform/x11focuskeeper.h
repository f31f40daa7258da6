#ifndef X11FOCUSKEEPER_H
#define X11FOCUSKEEPER_H

#include <QObject>
#include <QPointer>

class QWidget;
class X11Platform;

// Moves the keyboard focus on when a window of ours that may hold it is
// hidden and nothing else took the focus: to another window of ours that is
// still up (its parent first), else back to the window that had the focus
// before one of our windows was shown. Windows does this by
// itself when the active window goes away, and so do X11 window managers; on
// a bare X server the focus would otherwise fall to the root window and the
// user's keys go nowhere.
class X11FocusKeeper : public QObject
{
    Q_OBJECT

public:
    explicit X11FocusKeeper(X11Platform *platform, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void returnFocus();

    X11Platform *platform;
    // The foreign window that had the focus when one of ours was last shown.
    quintptr returnTo = 0;
    // The window of ours hidden last.
    QPointer<QWidget> hidden;
};

#endif  // X11FOCUSKEEPER_H

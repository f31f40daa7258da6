#ifndef X11FOCUSKEEPER_H
#define X11FOCUSKEEPER_H

#include <QObject>

class X11Platform;

// Gives the keyboard focus back to the window that had it before one of our
// windows was shown, once that window of ours is hidden again and nothing
// else took the focus. Windows does this by itself when the active window
// goes away, and so do X11 window managers; on a bare X server the focus
// would otherwise fall to the root window and the user's keys go nowhere.
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
};

#endif  // X11FOCUSKEEPER_H

#include "x11focuskeeper.h"

#include "x11platform.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {
// Top-level windows that take the keyboard focus when shown; menus and
// tool tips never do.
bool takesFocus(QObject *watched)
{
    const auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || !widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen;
}
}  // namespace

X11FocusKeeper::X11FocusKeeper(X11Platform *platform, QObject *parent)
    : QObject(parent)
    , platform(platform)
{ }

bool X11FocusKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && takesFocus(watched)) {
        if (event->type() == QEvent::Show) {
            // Not mapped yet: the focus is still where the user was.
            const quintptr focus = platform->focusWindow();
            if (focus && !platform->isOwnWindow(focus))
                returnTo = focus;
        } else if (!platform->windowManagerActivates()) {
            // After the hide has been handled, so that a paste that sets the
            // focus itself comes first.
            hidden = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, this, &X11FocusKeeper::returnFocus);
        }
    }
    return QObject::eventFilter(watched, event);
}

void X11FocusKeeper::returnFocus()
{
    const quintptr focus = platform->focusWindow();
    if (focus && !platform->isOwnWindow(focus))
        return;  // someone else has it already
    if (focus) {
        // Ours: keep it if that window is still up.
        const auto windows = QGuiApplication::allWindows();
        for (QWindow *own : windows) {
            if (own->handle() && own->winId() == focus && own->isVisible())
                return;
        }
    }
    // A window of ours still up keeps the focus with us: the one the hidden
    // window was opened from, else any other.
    QWidget *parent = hidden && hidden->parentWidget() ? hidden->parentWidget()->window() : nullptr;
    if (parent && parent->isVisible() && takesFocus(parent)) {
        parent->activateWindow();
        return;
    }
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget *own : topLevels) {
        if (own != hidden && own->isVisible() && takesFocus(own)) {
            own->activateWindow();
            return;
        }
    }
    if (returnTo && platform->windowThreadId(returnTo))
        platform->setForegroundWindow(returnTo);
}

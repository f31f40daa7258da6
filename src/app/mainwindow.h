#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "platform/platform.h"

#include <QMainWindow>

namespace Ui {
class MainWindow;
}
class InputDialog;

// The hidden window that anchors the program: it owns the popup and the
// global keyboard hook, and holds the state of the Right Ctrl double tap.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The two halves of the double-tap detector, fed by the hook procedure
    // on the hook's thread. Only that thread touches the detector's state.
    void onKeyDown(quint32 vkCode);
    void onKeyUp(quint32 vkCode);

    InputDialog *popup() const { return dialog; }
    quint32 lastTapTime = 0;
    qint32 tapCount = 0;

signals:
    // A double tap of Right Ctrl: the popup is shown (queued, on the GUI
    // thread). May be emitted from the hook's thread.
    void doubleTapped();

private:
    Ui::MainWindow *ui;
    Platform::HookHandle hook = 0;
    InputDialog *dialog = nullptr;
};

// The one main window of the process; the keyboard hook reaches the
// detector and the popup through it.
extern MainWindow *mainWindow;

#endif  // MAINWINDOW_H

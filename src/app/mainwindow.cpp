#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "background/handover.h"
#include "keyboardhook.h"
#include "popup/inputdialog.h"

MainWindow *mainWindow = nullptr;

namespace {
// Largest gap, exclusive, between the two releases of a double tap.
constexpr quint32 TapWindowMs = 700;
}  // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    lastTapTime = 0;
    tapCount = 0;
    // The detector runs where the hook procedure runs, which is not the GUI
    // thread on a real desktop: it only asks for the show, which the GUI
    // thread then does in its own time. The hook never waits for it.
    connect(
        this, &MainWindow::doubleTapped, this,
        [this] {
            HandOver::received(this);
            dialog->show();
        },
        Qt::QueuedConnection);
    mainWindow = this;
    // The hot key works from the moment the tray icon is up: a double tap
    // while the popup is still being built (a big history takes a while to
    // read) shows it once it is built. Without a hook the popup is still
    // reachable from the tray icon.
    hook = Platform::instance()->installKeyboardHook(&keyboardHookProc);
    // The popup next: it puts the tray icon up, and this window's own form,
    // which is never shown, can wait until after that.
    dialog = new InputDialog(nullptr);
    ui->setupUi(this);
}

MainWindow::~MainWindow()
{
    // The hook's thread goes first: nothing may ask for the popup while it
    // is being deleted.
    if (hook)
        Platform::instance()->removeKeyboardHook(hook);
    hook = 0;
    delete dialog;
    delete ui;
}

void MainWindow::onKeyDown(quint32 vkCode)
{
    // Key-downs of Right Ctrl itself, auto-repeat included, change nothing:
    // only the gap between the two releases counts.
    if (vkCode != Keys::VkRControl)
        tapCount = 0;
}

void MainWindow::onKeyUp(quint32 vkCode)
{
    const quint32 now = Platform::instance()->tickCount();
    if (vkCode != Keys::VkRControl) {
        tapCount = 0;
        return;
    }
    ++tapCount;
    if (tapCount > 2) {
        tapCount = 0;
        return;
    }
    // Unsigned arithmetic keeps the test right across the tick wrap-around.
    if (tapCount == 2 && quint32(now - lastTapTime) < TapWindowMs) {
        HandOver::sent(this);
        emit doubleTapped();
        tapCount = 0;
        lastTapTime = 0;
        return;
    }
    if (tapCount == 1)
        lastTapTime = now;
}

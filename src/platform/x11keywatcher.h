#ifndef X11KEYWATCHER_H
#define X11KEYWATCHER_H

#include "platform.h"
#include "x11keymapupdates.h"

#include <QObject>
#include <QVector>

class QSocketNotifier;
class QTimer;
struct _XDisplay;

// Watches every key press and release of the X display with the RECORD
// extension, without grabbing or swallowing anything; keys injected with
// XTEST are seen too. It runs on a thread of its own with connections of
// its own and calls the hook procedure there, so that the double tap is
// timed when the keys happen, whatever the GUI thread is busy with.
class X11KeyWatcher : public QObject
{
    Q_OBJECT

public:
    // `proc` is called on the watcher's thread for every key event.
    explicit X11KeyWatcher(Platform::HookProc proc, QObject *parent = nullptr);
    ~X11KeyWatcher() override;

    // Opens the connections and starts recording; false when the display or
    // the RECORD extension is not there. Called on the watcher's thread.
    bool start();
    // start(), as the first work of the watcher's thread.
    void begin();

    static constexpr int restartDelayMs = 1000;

    // Called by the recording callback for each key event; the events are
    // handed on once the pending data has been read.
    void record(int keycode, bool press, unsigned int state, quint32 time);

private:
    struct KeyEvent
    {
        int keycode;
        bool press;
        unsigned int state;
        quint32 time;
    };

    void readRecordedData();
    void readControlEvents();
    void checkConnections();
    void deliver(const KeyEvent &event);
    unsigned long keysymOf(int keycode);
    void stop();

    Platform::HookProc hookProc;
    // The context is created and controlled on one connection, which also
    // translates keycodes, and its data read on the other, which is busy
    // with the recording once enabled.
    _XDisplay *control = nullptr;
    _XDisplay *data = nullptr;
    unsigned long context = 0;
    X11KeymapUpdates keymap;
    QSocketNotifier *dataNotifier = nullptr;
    QSocketNotifier *controlNotifier = nullptr;
    QVector<KeyEvent> pending;
    // Set by Xlib when a connection breaks (another client may end it):
    // the watcher then starts afresh a little later.
    bool controlBroken = false;
    bool dataBroken = false;
    QTimer *restart;
};

#endif  // X11KEYWATCHER_H

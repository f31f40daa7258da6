#ifndef X11KEYWATCHER_H
#define X11KEYWATCHER_H

#include <QObject>
#include <QVector>

class QSocketNotifier;
struct _XDisplay;

// Watches every key press and release of the X display with the RECORD
// extension, without grabbing or swallowing anything; keys injected with
// XTEST are seen too. The recorded data arrives on a connection of its own,
// read from the event loop, so everything stays on the GUI thread.
class X11KeyWatcher : public QObject
{
    Q_OBJECT

public:
    explicit X11KeyWatcher(QObject *parent = nullptr);
    ~X11KeyWatcher() override;

    // Opens the two connections and starts recording; false when the display
    // or the RECORD extension is not there.
    bool start();

    // Called by the recording callback for each key event; the events are
    // announced once the pending data has been read.
    void record(int keycode, bool press, unsigned int state, quint32 time);

signals:
    // A key event: the X keycode, press or release, the modifier state before
    // the event and the server time.
    void keyEvent(int keycode, bool press, unsigned int state, quint32 time);

private:
    struct KeyEvent
    {
        int keycode;
        bool press;
        unsigned int state;
        quint32 time;
    };

    void readRecordedData();
    void stop();

    // The context is created and controlled on one connection and its data
    // read on the other, which is busy with the recording once enabled.
    _XDisplay *control = nullptr;
    _XDisplay *data = nullptr;
    unsigned long context = 0;
    QSocketNotifier *notifier = nullptr;
    QVector<KeyEvent> pending;
};

#endif  // X11KEYWATCHER_H

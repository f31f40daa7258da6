#ifndef X11PROBE_H
#define X11PROBE_H

#include "benchcommon.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

// Drives and watches the real program on the current X11 display (Xvfb
// with a tray host): starts it from a fresh application directory, sees its
// tray icon dock and its popup map, sends exact keys with XTEST and offers
// clipboard texts. Kept free of X11 types so that Qt headers and Xlib
// never meet in one file.
class X11Probe
{
public:
    X11Probe();
    ~X11Probe();
    X11Probe(const X11Probe &) = delete;
    X11Probe &operator=(const X11Probe &) = delete;

    bool ok() const { return display != nullptr; }

    // A fresh application directory with the program, the keyword list and
    // a clip list file holding `history` (none when it is empty).
    bool prepare(const QStringList &history);
    QString appDir() const { return dir ? dir->path() : QString(); }

    // Starts the program; the time of the start is in startMs().
    bool launch();
    double startMs() const { return started; }
    pid_t pid() const { return child; }
    // Waits until the tray host embeds an icon; its time in *at.
    bool waitDocked(double timeoutMs, double *at);
    // Ends the program started last.
    void stop();
    // Resident memory of the program in KB (VmRSS), -1 when unknown.
    long residentKb() const;
    // Its proportional set in KB (Pss of /proc/PID/smaps_rollup: shared
    // pages counted by the share each process has), -1 when unknown.
    long proportionalKb() const;

    // Puts the keyboard focus on a small window of the probe's own, as a
    // user's editor would hold it.
    void focusOwnWindow();
    // Taps Right Ctrl twice; returns the time of the second release.
    double doubleTap();
    // Waits until a window named `title` is mapped and holds the input
    // focus; the time in *at. Works with and without a window manager.
    bool waitPopupFocused(const char *title, double timeoutMs, double *at);
    // Presses Escape and waits until the popup is unmapped.
    bool dismissPopup(double timeoutMs);

    // Takes the clipboard from a connection of its own that never answers,
    // like a hung program; again on each call, so that the program starts
    // a new read that waits. releaseClipboard() closes that connection.
    bool hangClipboard();
    void releaseClipboard();

    // Starts openbox and waits until it manages the screen (WM_S0); stops
    // it again.
    bool startWindowManager(double timeoutMs);
    void stopWindowManager();

    // Owns the clipboard with `text` and answers the program's requests
    // until it has read the text (or the time-out passed).
    bool offerClipboard(const QByteArray &utf8, double timeoutMs);

    // Sleeps `ms`, answering the X events meanwhile.
    void pause(double ms);

private:
    void key(const char *keysym, bool press);
    bool nextEvent(double deadline, void *event);
    void handleSelectionRequest(const void *event);

    struct Atoms;
    void *display = nullptr;
    unsigned long root = 0;
    unsigned long own = 0;
    unsigned long popup = 0;
    Atoms *atoms = nullptr;
    QByteArray clipText;
    bool textServed = false;
    QTemporaryDir *dir = nullptr;
    void *hungDisplay = nullptr;
    unsigned long hungWindow = 0;
    pid_t windowManager = 0;
    pid_t child = 0;
    double started = 0;
};

#endif  // X11PROBE_H

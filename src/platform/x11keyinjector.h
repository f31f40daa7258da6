#ifndef X11KEYINJECTOR_H
#define X11KEYINJECTOR_H

#include <QHash>
#include <QObject>
#include <QTimer>

struct _XDisplay;

// Injects key presses and releases with the XTEST extension. A key whose
// keysym the current keyboard layout lacks (the `v` of a Russian-only
// layout, say) is typed on a spare keycode that is mapped to the keysym for
// the time of the injection and restored shortly after its release.
class X11KeyInjector : public QObject
{
    Q_OBJECT

public:
    // `display` stays owned by the caller and must outlive the injector.
    explicit X11KeyInjector(_XDisplay *display, QObject *parent = nullptr);
    ~X11KeyInjector() override;

    // Presses or releases the key of virtual key `vk`; nothing happens for a
    // key without keysym or when XTEST is not there.
    void inject(quint32 vk, bool release);
    // Returns every borrowed keycode to its empty mapping.
    void restoreBorrowedKeys();

    // How long a borrowed keycode keeps its keysym after the last release, so
    // that the target reads the key events with the borrowed mapping.
    static constexpr int RestoreDelayMs = 300;

private:
    int keycodeFor(unsigned long keysym);
    int borrowSpareKeycode(unsigned long keysym);

    _XDisplay *display;
    bool xtest = false;
    // Keycodes pressed by us and not released yet, by virtual key.
    QHash<quint32, int> held;
    // Spare keycodes mapped to a keysym for the injection, by keysym.
    QHash<unsigned long, int> borrowed;
    QTimer restoreTimer;
};

#endif  // X11KEYINJECTOR_H

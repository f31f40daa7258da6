#ifndef X11KEYMAP_H
#define X11KEYMAP_H

#include <QtGlobal>

// Translation between X keysyms and the Win32 virtual-key vocabulary of the
// platform layer, and the hook message and record flags of an X key event.
// Keysyms are plain integers here, so that no X11 header leaks out.
class X11KeyMap
{
public:
    // The code for keys that have no virtual-key equivalent.
    static constexpr quint32 UnknownKey = 0xFF;

    // The left/right-specific virtual key of `keysym` (Control_R gives 163,
    // Control_L 162, a letter its capital), or UnknownKey.
    static quint32 virtualKey(unsigned long keysym);
    // The keysym to inject for `vk`: the generic Ctrl, Shift and Alt give the
    // left-hand keys, letters their lower-case keysym; 0 when there is none.
    static unsigned long keysym(quint32 vk);
    // The hook message of a key event: a key pressed or released while Alt is
    // held (Mod1 in `state`, the modifiers before the event), the press of an
    // Alt key itself and F10 give the system-key messages, as on Windows.
    static quintptr message(unsigned long keysym, bool press, unsigned int state);
    // The low-level record flags: extended key, Alt down, key up.
    static quint32 recordFlags(unsigned long keysym, bool press, unsigned int state);
};

#endif  // X11KEYMAP_H

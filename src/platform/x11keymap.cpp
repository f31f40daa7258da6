#include "x11keymap.h"

#include "platform.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace {
// Left/right-specific and generic modifier keys besides Ctrl.
constexpr quint32 VkShift = 0x10;
constexpr quint32 VkLShift = 160;
constexpr quint32 VkRShift = 161;
constexpr quint32 VkLMenu = 164;
constexpr quint32 VkRMenu = 165;
constexpr quint32 VkF1 = 0x70;
constexpr quint32 VkF10 = 0x79;
constexpr quint32 VkF24 = 0x87;

struct KeyEntry
{
    unsigned long keysym;
    quint32 vk;
    bool extended;
};

// Keys other than letters, digits and function keys. Where two keysyms share
// a virtual key, the first one is the one injected for it.
const KeyEntry keyTable[] = {
    { XK_BackSpace, 0x08, false },
    { XK_Tab, 0x09, false },
    { XK_ISO_Left_Tab, 0x09, false },
    { XK_Clear, 0x0C, false },
    { XK_KP_Begin, 0x0C, false },
    { XK_Return, 0x0D, false },
    { XK_KP_Enter, 0x0D, true },
    { XK_Pause, 0x13, false },
    { XK_Caps_Lock, 0x14, false },
    { XK_Kanji, 0x19, false },
    { XK_Escape, 0x1B, false },
    { XK_Henkan_Mode, 0x1C, false },
    { XK_Muhenkan, 0x1D, false },
    { XK_space, 0x20, false },
    { XK_Prior, 0x21, true },
    { XK_KP_Prior, 0x21, false },
    { XK_Next, 0x22, true },
    { XK_KP_Next, 0x22, false },
    { XK_End, 0x23, true },
    { XK_KP_End, 0x23, false },
    { XK_Home, 0x24, true },
    { XK_KP_Home, 0x24, false },
    { XK_Left, 0x25, true },
    { XK_KP_Left, 0x25, false },
    { XK_Up, 0x26, true },
    { XK_KP_Up, 0x26, false },
    { XK_Right, 0x27, true },
    { XK_KP_Right, 0x27, false },
    { XK_Down, 0x28, true },
    { XK_KP_Down, 0x28, false },
    { XK_Select, 0x29, false },
    { XK_Execute, 0x2B, false },
    { XK_Print, 0x2C, true },
    { XK_Insert, 0x2D, true },
    { XK_KP_Insert, 0x2D, false },
    { XK_Delete, 0x2E, true },
    { XK_KP_Delete, 0x2E, false },
    { XK_Help, 0x2F, false },
    { XK_Super_L, 0x5B, true },
    { XK_Super_R, 0x5C, true },
    { XK_Menu, 0x5D, true },
    { XK_KP_0, 0x60, false },
    { XK_KP_1, 0x61, false },
    { XK_KP_2, 0x62, false },
    { XK_KP_3, 0x63, false },
    { XK_KP_4, 0x64, false },
    { XK_KP_5, 0x65, false },
    { XK_KP_6, 0x66, false },
    { XK_KP_7, 0x67, false },
    { XK_KP_8, 0x68, false },
    { XK_KP_9, 0x69, false },
    { XK_KP_Multiply, 0x6A, false },
    { XK_KP_Add, 0x6B, false },
    { XK_KP_Separator, 0x6C, false },
    { XK_KP_Subtract, 0x6D, false },
    { XK_KP_Decimal, 0x6E, false },
    { XK_KP_Divide, 0x6F, true },
    { XK_Num_Lock, 0x90, true },
    { XK_Scroll_Lock, 0x91, false },
    { XK_Shift_L, VkLShift, false },
    { XK_Shift_R, VkRShift, false },
    { XK_Control_L, Keys::VkLControl, false },
    { XK_Control_R, Keys::VkRControl, true },
    { XK_Alt_L, VkLMenu, false },
    { XK_Alt_R, VkRMenu, true },
    { XK_Meta_L, VkLMenu, false },
    { XK_Meta_R, VkRMenu, true },
    { XK_ISO_Level3_Shift, VkRMenu, true },
    { XK_semicolon, 0xBA, false },
    { XK_equal, 0xBB, false },
    { XK_comma, 0xBC, false },
    { XK_minus, 0xBD, false },
    { XK_period, 0xBE, false },
    { XK_slash, 0xBF, false },
    { XK_grave, 0xC0, false },
    { XK_bracketleft, 0xDB, false },
    { XK_backslash, 0xDC, false },
    { XK_bracketright, 0xDD, false },
    { XK_apostrophe, 0xDE, false },
    { XK_less, 0xE2, false },
    { XK_Hiragana_Katakana, 0xF2, false },
    { XK_Zenkaku_Hankaku, 0xF3, false },
};

const KeyEntry *findKeysym(unsigned long keysym)
{
    for (const KeyEntry &entry : keyTable) {
        if (entry.keysym == keysym)
            return &entry;
    }
    return nullptr;
}

bool isAltKey(unsigned long keysym)
{
    return keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L || keysym == XK_Meta_R;
}
}  // namespace

quint32 X11KeyMap::virtualKey(unsigned long keysym)
{
    if (keysym >= XK_a && keysym <= XK_z)
        return quint32('A' + (keysym - XK_a));
    if (keysym >= XK_A && keysym <= XK_Z)
        return quint32('A' + (keysym - XK_A));
    if (keysym >= XK_0 && keysym <= XK_9)
        return quint32('0' + (keysym - XK_0));
    if (keysym >= XK_F1 && keysym <= XK_F24)
        return VkF1 + quint32(keysym - XK_F1);
    if (const KeyEntry *entry = findKeysym(keysym))
        return entry->vk;
    return UnknownKey;
}

unsigned long X11KeyMap::keysym(quint32 vk)
{
    switch (vk) {
    case VkShift:
        return XK_Shift_L;
    case Keys::VkControl:
        return XK_Control_L;
    case Keys::VkMenu:
        return XK_Alt_L;
    default:
        break;
    }
    if (vk >= 'A' && vk <= 'Z')
        return XK_a + (vk - 'A');
    if (vk >= '0' && vk <= '9')
        return XK_0 + (vk - '0');
    if (vk >= VkF1 && vk <= VkF24)
        return XK_F1 + (vk - VkF1);
    for (const KeyEntry &entry : keyTable) {
        if (entry.vk == vk)
            return entry.keysym;
    }
    return NoSymbol;
}

quintptr X11KeyMap::message(unsigned long keysym, bool press, unsigned int state)
{
    const bool system = (state & Mod1Mask) || (press && isAltKey(keysym)) || virtualKey(keysym) == VkF10;
    if (system)
        return press ? Keys::SysKeyDownMessage : Keys::SysKeyUpMessage;
    return press ? Keys::KeyDownMessage : Keys::KeyUpMessage;
}

quint32 X11KeyMap::recordFlags(unsigned long keysym, bool press, unsigned int state)
{
    quint32 flags = 0;
    if (const KeyEntry *entry = findKeysym(keysym))
        flags |= entry->extended ? 0x01u : 0u;  // LLKHF_EXTENDED
    if (state & Mod1Mask)
        flags |= 0x20u;  // LLKHF_ALTDOWN
    if (!press)
        flags |= 0x80u;  // LLKHF_UP
    return flags;
}

#include "pastechords.h"

#include "platform/platform.h"

#include <QDebug>
#include <QSettings>

namespace {
struct BuiltIn
{
    const char *windowClass;
    PasteChords::Chord chord;
};

// WM_CLASS instance and class names on X11, registered window class names
// on Windows. Ctrl+V needs no entry; the consoles that take it are listed
// so that a user's look at the table finds them.
const BuiltIn builtIn[] = {
    { "xterm", PasteChords::ShiftInsert },
    { "uxterm", PasteChords::ShiftInsert },
    { "urxvt", PasteChords::ShiftInsert },
    { "rxvt", PasteChords::ShiftInsert },
    { "mintty", PasteChords::ShiftInsert },
    { "gnome-terminal", PasteChords::CtrlShiftV },
    { "gnome-terminal-server", PasteChords::CtrlShiftV },
    { "org.gnome.terminal", PasteChords::CtrlShiftV },
    { "konsole", PasteChords::CtrlShiftV },
    { "xfce4-terminal", PasteChords::CtrlShiftV },
    { "tilix", PasteChords::CtrlShiftV },
    { "terminator", PasteChords::CtrlShiftV },
    { "kitty", PasteChords::CtrlShiftV },
    { "alacritty", PasteChords::CtrlShiftV },
    { "org.wezfurlong.wezterm", PasteChords::CtrlShiftV },
    { "consolewindowclass", PasteChords::CtrlV },
    { "cascadia_hosting_window_class", PasteChords::CtrlV },
};
}  // namespace

PasteChords::PasteChords()
{
    for (const BuiltIn &entry : builtIn)
        byClass.insert(QString::fromLatin1(entry.windowClass), entry.chord);
}

PasteChords::Chord PasteChords::chordFor(const QStringList &windowClasses) const
{
    for (const QString &windowClass : windowClasses) {
        const auto found = byClass.constFind(windowClass.toLower());
        if (found != byClass.constEnd())
            return found.value();
    }
    return CtrlV;
}

void PasteChords::set(const QString &windowClass, Chord chord)
{
    byClass.insert(windowClass.toLower(), chord);
}

void PasteChords::readUserSection(QSettings &ini)
{
    ini.beginGroup(QStringLiteral("paste"));
    const QStringList classes = ini.childKeys();
    for (const QString &windowClass : classes) {
        const QVariant value = ini.value(windowClass);
        // A value with a comma reads as a list, which names no chord.
        const QString text = value.type() == QVariant::String ? value.toString() : QString();
        Chord chord = CtrlV;
        if (parse(text, &chord))
            set(windowClass, chord);
        else
            qDebug().noquote() << QStringLiteral("quillet.ini [paste]: %1 ignored, \"%2\" is none of "
                                                 "ctrl+v, ctrl+shift+v, shift+insert")
                                      .arg(windowClass, value.toStringList().join(QLatin1Char(',')));
    }
    ini.endGroup();
}

bool PasteChords::parse(const QString &text, Chord *chord)
{
    QStringList parts = text.toLower().split(QLatin1Char('+'));
    for (QString &part : parts)
        part = part.trimmed();
    const QString normal = parts.join(QLatin1Char('+'));
    if (normal == QLatin1String("ctrl+v"))
        *chord = CtrlV;
    else if (normal == QLatin1String("ctrl+shift+v"))
        *chord = CtrlShiftV;
    else if (normal == QLatin1String("shift+insert"))
        *chord = ShiftInsert;
    else
        return false;
    return true;
}

QVector<quint32> PasteChords::keys(Chord chord)
{
    switch (chord) {
    case CtrlShiftV:
        return { Keys::VkControl, Keys::VkShift, Keys::VkV };
    case ShiftInsert:
        return { Keys::VkShift, Keys::VkInsert };
    case CtrlV:
        break;
    }
    return { Keys::VkControl, Keys::VkV };
}

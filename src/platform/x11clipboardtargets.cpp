#include "x11clipboardtargets.h"

#include "clipboardsnapshot.h"

namespace {
// Text targets, best first: UTF-8 keeps every character; STRING is
// Latin-1; TEXT lets the owner choose the encoding (the answer's type tells
// which); COMPOUND_TEXT is the old multi-charset encoding. The MIME names
// are matched without regard to case, as owners spell them differently.
const char *const textPreference[]
    = { "UTF8_STRING", "text/plain;charset=utf-8", "STRING", "TEXT", "COMPOUND_TEXT", "text/plain" };

// An owner that lists no targets is asked for these.
const char *const unlistedText[] = { "UTF8_STRING", "STRING" };
}  // namespace

X11ClipboardTargets::X11ClipboardTargets(const QStringList &offered, bool listed)
{
    for (const QString &name : offered) {
        if (name.isEmpty() || names.contains(name))
            continue;
        names.append(name);
        image = image || isImage(name);
        color = color || isColor(name);
        if (ClipboardSnapshot::isMarkerFormat(name))
            markerNames.append(name);
    }
    if (!listed) {
        for (const char *name : unlistedText)
            textNames.append(QLatin1String(name));
        return;
    }
    for (const char *wanted : textPreference) {
        for (const QString &name : qAsConst(names)) {
            if (name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0 && !textNames.contains(name))
                textNames.append(name);
        }
    }
}

bool X11ClipboardTargets::isImage(const QString &name)
{
    // Any image type, and the two old X11 ones that hold a drawable.
    return name.startsWith(QLatin1String("image/"), Qt::CaseInsensitive) || name == QLatin1String("PIXMAP")
        || name == QLatin1String("BITMAP") || name == QLatin1String("application/x-qt-image");
}

bool X11ClipboardTargets::isColor(const QString &name)
{
    return name == QLatin1String("application/x-color");
}

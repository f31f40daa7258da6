#ifndef X11CLIPBOARDTARGETS_H
#define X11CLIPBOARDTARGETS_H

#include <QStringList>

// What the list of targets that the clipboard's owner offers (its answer to
// TARGETS) tells before anything else is read: the format names, whether an
// image or a colour is among them, the marker formats whose data is to be
// read, and which targets to try for the text, best first.
class X11ClipboardTargets
{
public:
    // `offered`: the target names in the owner's order; empty names and
    // repeats are dropped. `listed` is false when the owner gave no list at
    // all (it refused TARGETS), which some old owners do while still giving
    // text.
    explicit X11ClipboardTargets(const QStringList &offered, bool listed = true);

    const QStringList &formats() const { return names; }
    bool hasImage() const { return image; }
    bool hasColor() const { return color; }
    // Offered marker formats, read before the text.
    const QStringList &markers() const { return markerNames; }
    // The text targets to ask for in turn until one gives text.
    const QStringList &textTargets() const { return textNames; }

    static bool isImage(const QString &name);
    static bool isColor(const QString &name);

private:
    QStringList names;
    QStringList markerNames;
    QStringList textNames;
    bool image = false;
    bool color = false;
};

#endif  // X11CLIPBOARDTARGETS_H

#ifndef HISTORYCAPTURE_H
#define HISTORYCAPTURE_H

#include "platform/clipboardsnapshot.h"

#include <QStringList>

// Takes the clipboard's text into the history: newest first, no duplicates,
// at most `histmax` entries. Images, colours, blank text and data marked as
// secret by a password manager are left out. A half of a surrogate pair
// without its other half becomes U+FFFD (the history is kept as UTF-8).
class HistoryCapture
{
public:
    // Returns true when the history took the snapshot's text. `unique`, when
    // given and true, says the history holds no duplicates, so that only the
    // one earlier copy of the new text has to be looked for; it is true
    // after any capture.
    static bool capture(
        QStringList &history, const ClipboardSnapshot &clipboard, int histmax, bool *unique = nullptr);
    // True when the data carries a marker asking clipboard watchers to keep
    // it out of any history.
    static bool isSecret(const ClipboardSnapshot &data);
};

#endif  // HISTORYCAPTURE_H

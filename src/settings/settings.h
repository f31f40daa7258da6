#ifndef SETTINGS_H
#define SETTINGS_H

#include "filestamp.h"
#include "saveoutcome.h"

#include "popup/pastechords.h"

#include <QColor>
#include <QFont>
#include <QSize>
#include <QStringList>

// The one record of every setting of the program and of the persisted
// clipboard history. Filled once at start-up from quillet.ini and the clip
// list file beside the executable, written back after every capture.
class Settings
{
public:
    QSize size;
    bool darkmode;
    bool ignoreCase;
    bool word;
    qint32 tabcolm;
    qint32 histmax;
    bool tooltip;
    bool tabcr;
    bool zenspc;
    bool linewrap;

    QColor backcolor;
    QColor forecolor;
    QColor hlbackcolor;
    QColor hlforecolor;
    QColor cursorcolor;
    QColor findcolor;
    QColor reteralcolor;
    QColor reservecolor;
    QColor valuecolor;
    QColor ctrlcolor;
    QColor funccolor;
    QColor classcolor;
    QColor fnamecolor;
    QColor commentcolor;
    QColor header_backcolor;
    QColor lnumbackcolor;
    QColor lnumforecolor;

    QColor paletteWindow;
    QColor paletteWindowText;
    QColor paletteBase;
    QColor paletteAlternateBase;
    QColor paletteToolTipBase;
    QColor paletteToolTipText;
    QColor paletteText;
    QColor paletteButton;
    QColor paletteButtonText;
    QColor paletteBrightText;
    QColor paletteLink;
    QColor paletteHighlight;
    QColor paletteHighlightedText;

    QFont textFont;
    QFont inpFont;

    // The paste chord of each window class: the built-in table with the
    // [paste] section on top. Only read from the file, never written.
    PasteChords pasteChords;

    // Newest first.
    QStringList history;

    // The one record of the process.
    static Settings *instance();

    // Reads quillet.ini, then the clip list file, into the record.
    void load();
    // Reads quillet.ini only; the clip list file waits for
    // loadPendingHistory(). The program's start shows its tray icon between
    // the two: decoding the history is work the user does not see.
    void loadOptions();
    // Reads the clip list file if loadOptions() left it unread.
    void loadPendingHistory();
    // Writes the record to quillet.ini and the history to the clip list file.
    // With `purgeOlderCopies` no file beside the executable keeps anything
    // but the new history afterwards (the backup included): used after the
    // user deleted an entry. A failure is told once (SaveFailure).
    void save(bool purgeOlderCopies = false);
    // The same into `directory`, telling nobody: the caller gets the
    // outcome. Reads nothing but this record and the files, so it may run on
    // any thread on a copy of the record. `ownClipList` is the stamp of the
    // clip list file this program wrote last (see ClipListFile::save).
    SaveOutcome saveTo(
        const QString &directory, bool purgeOlderCopies, FileStamp *ownClipList = nullptr) const;
    // Rewrites a text file as UTF-8 with a byte order mark and CR LF line ends.
    static void WriteUtf8Bom(const QString &path);

    // One colour setting: its key in quillet.ini, its member and its default.
    struct ColorKey
    {
        const char *key;
        QColor Settings::*member;
        const char *defaultName;  // "#rrggbb" or a colour name
    };
    // The 30 colour settings in the order the file is read and written.
    static const ColorKey colorKeys[30];

    // The values the record holds before anything is loaded.
    Settings();

private:
    void loadHistory();

    bool historyPending = false;
};

#endif  // SETTINGS_H

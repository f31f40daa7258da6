#ifndef LINEPIECE_H
#define LINEPIECE_H

#include <QString>
#include <QTextBlock>
#include <QTextBlockUserData>

// Attached to a block of the preview that shows a piece of a longer line of
// the entry: which line of which entry, where in it the piece starts and
// whether a piece break (not a line end) follows it. The highlighter colours
// the piece as part of its whole line, the marks tell a piece break from a
// line end, and copying joins the pieces again.
class LinePiece : public QTextBlockUserData
{
public:
    LinePiece(
        const QString &entry, quint64 entrySerial, int lineStart, int offset, int length, bool continued);

    // The piece `block` shows; null when it is no piece, or no longer shows
    // its piece as it was (the user has edited it).
    static const LinePiece *of(const QTextBlock &block);

    // The entry shown (shared, not copied) and which entry that is.
    const QString entry;
    const quint64 entrySerial;
    // Where the piece's line starts in the entry, and the piece in its line.
    const int lineStart;
    const int offset;
    const int length;
    const bool continued;
};

#endif  // LINEPIECE_H

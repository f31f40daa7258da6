#ifndef PIECECUTTER_H
#define PIECECUTTER_H

#include <QString>

// Cuts a text into the blocks the preview shows: its lines, and pieces of
// the lines too long to lay out in time.
//
// Qt lays out a line as a whole, and a line without wrapping is laid out,
// shaped and drawn whole even where only a screen's width of it is seen.
// The cost grows with the length and with the kind of characters: measured
// on the development machine, about 0.1 µs per ASCII character, 0.4 to
// 0.5 µs per CJK, right-to-left or surrogate pair character and about 1 µs
// per tab, in both wrap modes (a paint shapes the line again, a scroll lays
// out the lines it passes). A piece ends where its estimated cost reaches
// maxPieceCost: 2048 ASCII characters, about 410 CJK characters or 128 tabs
// (see tabCost), about 0.2 ms of layout each, so that a view of sixty such
// lines lays out in about 12 ms and no turn of the event loop that shows,
// scrolls or re-wraps the preview takes more than about 30 ms of processor
// time (bench_select).
//
// A piece ends at a grapheme boundary of the whole line, after a blank or a
// punctuation mark when there is one near the end, so that a piece shows
// whole characters and words where it can, and a mark that depends on where
// characters start is the same as in the whole line.
//
// Short lines may be grouped instead: several whole lines in one block,
// joined by line separators (U+2028), which Qt lays out as line breaks
// within a block. Some of Qt's work is done for every block of the document
// at once (a new wrap mode or width, replacing the text: about 0.4 µs a
// block), so that a text of millions of short lines must not be millions of
// blocks. A group holds lines up to maxGroupCost, counting lineCost for each
// line's own layout work; lines that hold a line separator of their own are
// never grouped.
class PieceCutter
{
public:
    // One block's worth of the text: its characters [start, end), then up
    // to `next` the line break that ends it, if any. A continued unit is a
    // piece that the next unit goes on with: no line break follows it.
    struct Unit
    {
        int start = 0;
        int end = 0;
        int next = 0;
        int lineStart = 0;
        bool continued = false;
        // How many whole lines a group holds; [start, end) then holds the
        // line breaks between them.
        int lines = 1;
        bool isPiece() const { return continued || start != lineStart; }
        bool isGroup() const { return lines > 1; }
    };

    explicit PieceCutter(const QString &text = QString());

    bool atEnd() const { return position >= text.size(); }
    int at() const { return position; }
    // The unit at the current position; moves past it. With `group`, short
    // lines that follow one another come as one unit.
    Unit next(bool group = false);
    // The text of `text` from `start` to `end` as a group's block shows it:
    // each line break a line separator.
    static QString groupText(const QString &text, int start, int end);

    // The characters that end a line of the document: LF, CR (a CR LF
    // pair counts once), the paragraph separator and Qt's two frame marks.
    static bool isLineBreak(QChar c);
    // Where the line that starts at `from` in `text` ends (before its line
    // break), looking at most `limit` characters far; -1 beyond that.
    static int lineEnd(const QString &text, int from, int limit);
    // The estimated layout cost of one UTF-16 code unit.
    static int cost(QChar c)
    {
        const ushort u = c.unicode();
        if (u >= 0x20 && u < 0x7f)
            return 1;
        return u == 0x09 ? tabCost : 5;
    }

    static constexpr int maxPieceCost = 2048;
    // A tab costs more than its layout: each mark's place is looked up in a
    // pass over the items of its line in which Qt works out every tab's
    // width again, so the marks of a line of n tabs cost n * n times about
    // 30 ns. 128 tabs a piece keep that to half a millisecond.
    static constexpr int tabCost = maxPieceCost / 128;
    // Lines of a group cost more than their characters: measured, each
    // line takes about 2 µs of layout (0.3 µs when empty). A group of
    // maxGroupCost lays out in about 1 ms; a view shows a few of them.
    static int lineCost(int characterCost) { return characterCost + (characterCost > 0 ? 20 : 3); }
    static constexpr int maxGroupCost = 4 * maxPieceCost;

private:
    Unit nextLine(int &spent, bool &separator);
    int cutAt(int start, int limit) const;

    QString text;
    int position = 0;
    int lineStart = 0;
};

#endif  // PIECECUTTER_H

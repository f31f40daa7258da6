#ifndef TEXTEDIT_H
#define TEXTEDIT_H

#include <QFont>
#include <QPlainTextEdit>
#include <QPointF>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QVector>

#include "piececutter.h"

class Highlighter;
class QMimeData;

// The preview pane: shows the selected entry, coloured by its highlighter,
// with marks for tabs, full-width spaces, line ends and the end of the text.
//
// A line too long to lay out in time is shown in pieces, one per block (see
// PieceCutter), with a piece break mark where the display goes on in the
// next row while the entry does not break its line. The pieces keep the
// colours and marks of the whole line, and copying joins them again. Past
// its first lines, a text of many short lines shows several in one block.
// The paste never reads this document: it takes the history entry.
class TextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TextEdit(QWidget *parent = nullptr);
    ~TextEdit() override;

    // One mark drawn over the text: `glyph` in `font` with its baseline
    // origin at `origin`, in viewport coordinates.
    struct Mark
    {
        QString glyph;
        QFont font;
        QPointF origin;
    };
    // The marks of the current view, with `baseFont` as the font the marks
    // are derived from (the viewport's font when painting). The scan stops
    // at the first mark below the viewport; the end-of-text mark comes last
    // and is there once the whole text is.
    QVector<Mark> marks(const QFont &baseFont) const;
    // The first block in the view, where the scan for marks starts.
    QTextBlock topBlock() const { return firstVisibleBlock(); }

    // Shows `text` in place of the current one. A long text shows its first
    // lines at once and the rest is appended from the event loop in short
    // slices, so that the popup answers while a huge entry comes in; the end
    // mark appears once all of it is there. The lines in view are coloured
    // before the others.
    void showText(const QString &text);
    bool isLoading() const { return !cutter.atEnd(); }
    // Whether every line in view shows its final text and colours: what the
    // user sees has settled, though lines below the view may still follow.
    bool isViewColoured() const;
    // The text of the document with the pieces of long lines joined again,
    // each line end as a line feed: the entry, as far as it is in and unless
    // the user has edited it.
    QString joinedText() const;

    // How much is shown at once and how much each later slice may add, in
    // characters; slices end between lines or pieces.
    static constexpr int firstPartLength = 32 * 1024;
    static constexpr int sliceLength = 16 * 1024;
    // Of a longer text only this many characters are shown: beyond that the
    // preview would take gigabytes of memory. The end of a text cut short
    // gets the piece break mark instead of the end mark.
    static constexpr int maxShownLength = 16 * 1024 * 1024;
    // The first lines of a text get a block each; after these, short lines
    // that follow one another share blocks (see PieceCutter).
    static constexpr int singleLines = 4096;

    // Drawn at a piece break; the line end mark is U+2193, the end mark U+2190.
    static const QChar pieceBreakMark;
    static const QChar lineEndMark;
    static const QChar endMark;

    Highlighter *highlighter = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // The caret rectangle of positions in one block, in viewport coordinates.
    class CaretPlace
    {
    public:
        CaretPlace(const TextEdit &edit, const QTextBlock &block);
        QRect at(int position) const;
        int bottom(const QTextLine &line) const;
        int leftEdge(const QTextLine &line) const;

    private:
        const QTextLayout *layout;
        QPointF corner;
        QPoint shift;
        int width;
    };

    void appendSlices();
    QString takeUnits(int length, int blocks, QVector<QPair<int, PieceCutter::Unit>> &marked);
    void markBlocks(int firstBlock, const QVector<QPair<int, PieceCutter::Unit>> &marked);
    void colourView();
    void dropShapes(QTextLayout *layout);
    QString joined(int from, int to) const;
    bool horizontalClipping(const QTextBlock &block) const;
    void stopLoading();

    // The entry shown and its serial number, and what is still to come in.
    QString entry;
    quint64 entrySerial = 0;
    PieceCutter cutter;
    bool cutShort = false;
    // The document's size after our last addition, to notice other edits.
    int loadedCharacters = 0;
    QTimer nextSlice;
    // The blocks last in view, which keep their shaped glyphs.
    QVector<int> shapedBlocks;
};

#endif  // TEXTEDIT_H

#ifndef TEXTEDIT_H
#define TEXTEDIT_H

#include <QFont>
#include <QPlainTextEdit>
#include <QPointF>
#include <QTextBlock>
#include <QTimer>
#include <QVector>

class Highlighter;

// The preview pane: shows the selected entry, coloured by its highlighter,
// with marks for tabs, full-width spaces, line ends and the end of the text.
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
    // mark appears once all of it is there.
    void showText(const QString &text);
    bool isLoading() const { return loadedUpTo < pendingText.size(); }
    // Whether every line in view shows its final text and colours: what the
    // user sees has settled, though lines below the view may still follow.
    bool isViewColoured() const;

    // How much is shown at once and how much each later slice may add, in
    // characters; a slice is cut after a line end so lines stay whole.
    static constexpr int firstPartLength = 32 * 1024;
    static constexpr int sliceLength = 16 * 1024;
    // Of a longer text only this many characters are shown: beyond that the
    // preview would take gigabytes of memory.
    static constexpr int maxShownLength = 16 * 1024 * 1024;

    Highlighter *highlighter = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void appendSlices();
    bool horizontalClipping(const QTextBlock &block) const;
    int cutAfterLine(int from, int length) const;

    QString pendingText;
    int loadedUpTo = 0;
    // The document's size after our last addition, to notice other edits.
    int loadedCharacters = 0;
    QTimer nextSlice;
};

#endif  // TEXTEDIT_H

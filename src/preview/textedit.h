#ifndef TEXTEDIT_H
#define TEXTEDIT_H

#include <QFont>
#include <QPlainTextEdit>
#include <QPointF>
#include <QTextBlock>
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
    // and is always there.
    QVector<Mark> marks(const QFont &baseFont) const;
    // The first block in the view, where the scan for marks starts.
    QTextBlock topBlock() const { return firstVisibleBlock(); }

    // Shows `text`; of a longer text only its first maxShownLength
    // characters: laying out tens of megabytes would freeze the popup for
    // many seconds and take gigabytes of memory.
    void showText(const QString &text);
    static constexpr int maxShownLength = 1 << 18;

    Highlighter *highlighter = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
};

#endif  // TEXTEDIT_H

#ifndef HIGHLIGHTER_H
#define HIGHLIGHTER_H

#include <QMap>
#include <QRegExp>
#include <QSyntaxHighlighter>
#include <QElapsedTimer>
#include <QTextCharFormat>
#include <QTextBlock>
#include <QTimer>

// Colours the preview: keywords and the comment expression of the keyword
// list file, quoted literals, values, and the matches of the popup's filter.
//
// Rules are applied in the order of their names; a later rule overrides an
// earlier one where both match. Each line is coloured on its own.
//
// Two bounds keep a huge entry or a badly backtracking expression from
// freezing the popup:
// - only the first maxColouredLength characters of a line are coloured;
// - one pass of colouring (a new text, a new filter) spends at most the work
//   budget on colouring lines; the lines left over are coloured in further
//   slices of the same length from the event loop, in document order. When
//   all slices have run every line has exactly the colours of one
//   uninterrupted pass.
class Highlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    struct HighlightingRule
    {
        QRegExp pattern;
        QTextCharFormat format;
    };

    explicit Highlighter(QTextDocument *parent);

    void addRule(const QString &name, const QString &pattern, const QTextCharFormat &format);
    void addRule(const QString &name, const QRegExp &expression, const QTextCharFormat &format);
    void buildRules(const QStringList &keywordLines, int wordLimit);
    // Replaces the rule "zFind_1" and colours the document again; without
    // `recolour` the caller is about to replace the text, which colours it.
    void setFindExpression(const QRegExp &expression, bool recolour = true);
    void loadKeywordList(const QString &listName);

    const QMap<QString, HighlightingRule> &ruleSet() const { return rules; }
    QString comment() const { return commentPattern; }

    // Lines longer than this are coloured in their first part only.
    static const int maxColouredLength = 1000;
    // Milliseconds of colouring per slice; negative: no limit, every pass
    // colours the whole document at once.
    void setWorkBudget(int milliseconds) { workBudget = milliseconds; }
    // Lines still waiting for a later slice.
    int pendingLines() const;
    // Whether `block` waits for a later slice.
    static bool isPending(const QTextBlock &block);

protected:
    void highlightBlock(const QString &text) override;
    void highlightText(const QString &text);

private:
    void colourPendingLines();

    QMap<QString, HighlightingRule> rules;
    QString commentPattern;
    QTextCharFormat commentFormat;

    int workBudget = 20;
    QElapsedTimer sliceClock;
    bool sliceOpen = false;
    int linesThisSlice = 0;
    // No line before this one waits for a later slice.
    int firstPendingLine = 0;
    bool linesPending = false;
    QTimer nextSlice;
};

#endif  // HIGHLIGHTER_H

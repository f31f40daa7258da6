#ifndef HIGHLIGHTER_H
#define HIGHLIGHTER_H

#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QRegExp>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTimer>
#include <QVector>

#include <functional>

#include "blockranges.h"
#include "linematcher.h"
#include "matchworker.h"

class BackgroundMatcher;
class LinePiece;

// Colours the preview: keywords and the comment expression of the keyword
// list file, quoted literals, values, and the matches of the popup's filter.
//
// Rules are applied in the order of their names; a later rule overrides an
// earlier one where both match. Each line is coloured on its own; a block
// that shows a piece of a longer line (see LinePiece) gets the colours of
// its part of the whole line, and each line of a block that groups short
// lines (see LineGroup) is coloured on its own.
//
// Bounds that keep a huge entry or a badly backtracking expression from
// freezing the popup:
// - only the first maxColouredLength characters of a line are coloured. The
//   rules are still searched for in the whole line, as far as needed for
//   those characters to get exactly the colours of an uncapped pass;
// - lines longer than maxLocalLineLength are searched by a worker thread
//   (one search in a line of megabytes can take a few hundred
//   milliseconds); their blocks wait for the answer;
// - the colouring done in one turn of the event loop stops once it has
//   taken the work budget; the lines left wait for later slices. A new text
//   or a new rule set colours the lines in view first (through the view's
//   colourer), then the others in document order. When all slices have run
//   every line has exactly the colours of one uninterrupted pass.
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
    ~Highlighter() override;

    void addRule(const QString &name, const QString &pattern, const QTextCharFormat &format);
    void addRule(const QString &name, const QRegExp &expression, const QTextCharFormat &format);
    void buildRules(const QStringList &keywordLines, int wordLimit);
    // Replaces the rule "zFind_1" and colours the document again, the lines
    // in view at once; without `recolour` the caller is about to replace the
    // text or to call recolour(), and the lines only wait for their colours.
    void setFindExpression(const QRegExp &expression, bool recolour = true);
    void loadKeywordList(const QString &listName);

    const QMap<QString, HighlightingRule> &ruleSet() const { return rules; }
    QString comment() const { return commentPattern; }

    // Colours the whole document again with the rules as they are: the
    // lines in view now, the others in slices from the event loop.
    void recolour();
    // Colours `block` now if it waits for its colours. False when this turn
    // of the event loop has spent its work budget: the block then waits for
    // the next slice, which starts with the lines in view.
    bool colourBlock(const QTextBlock &block);
    // Called at the start of each slice to colour the lines in view (through
    // colourBlock) before any other.
    void setViewColourer(const std::function<void()> &colourer) { viewColourer = colourer; }
    // While held, lines that change only wait for their colours: the preview
    // holds the highlighter while it adds text, until it has marked the
    // pieces of long lines.
    void setHeld(bool on) { held = on; }

    // Of a line only this many characters are coloured.
    static const int maxColouredLength = 1000;
    // Lines longer than this are searched by the worker.
    static const int maxLocalLineLength = 8192;
    // Milliseconds of colouring per turn of the event loop; negative: no
    // limit, every pass colours the whole document at once.
    void setWorkBudget(int milliseconds) { workBudget = milliseconds; }
    // Lines still waiting for their colours.
    int pendingLines() const { return pending.count() + awaiting.count(); }
    bool isPending(const QTextBlock &block) const;

protected:
    void highlightBlock(const QString &text) override;
    void highlightText(const QString &text);

private:
    void rulesChanged() { ++rulesSerial; }
    void refreshOrder();
    void markAllPending();
    bool budgetLeft();
    void openSlice();
    void colourPendingLines();
    void colourInOrder();
    void colourNow(const QTextBlock &block, bool urgent);
    static bool isUncolouredTail(const QTextBlock &block);
    void colourPiece(int number, const LinePiece &piece, int length, bool urgent);
    const QVector<LineMatch> *pieceMatches(const LinePiece &piece, bool urgent);
    void highlightLine(const QString &line, int at);
    void apply(const QVector<LineMatch> &matches, int offset, int length, int at = 0);
    void colourAnsweredLine(int lineStart);
    void documentChanged(int position, int removed, int added);

    QMap<QString, HighlightingRule> rules;
    QString commentPattern;
    QTextCharFormat commentFormat;

    // The rules in the order they are applied, for the rule set numbered
    // rulesSerial.
    quint64 rulesSerial = 1;
    quint64 orderSerial = 0;
    QVector<QRegExp> orderedPatterns;
    QVector<QTextCharFormat> orderedFormats;
    QVector<MatchRule> matchRules;

    // Lines waiting for a slice, and lines waiting for the worker's answer
    // (by block number, and by where their line starts in the entry).
    BlockRanges pending;
    BlockRanges awaiting;
    QHash<int, QVector<int>> awaitingLines;
    int knownBlocks = 1;
    bool held = false;
    // The block colouring on request, and whether it is in view.
    int target = -1;
    bool targetUrgent = false;

    // The matches of the last long line searched here.
    quint64 lastEntry = 0;
    int lastLineStart = -1;
    quint64 lastRules = 0;
    QVector<LineMatch> lastMatches;

    int workBudget = 12;
    QElapsedTimer sliceClock;
    bool sliceOpen = false;
    int linesThisSlice = 0;
    QTimer nextSlice;
    std::function<void()> viewColourer;
    BackgroundMatcher *background = nullptr;
    QMetaObject::Connection changes;
};

#endif  // HIGHLIGHTER_H

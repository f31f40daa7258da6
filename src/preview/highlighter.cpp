#include "highlighter.h"

#include <QBrush>
#include <QTextBlock>
#include <QTextDocument>

#include <limits>

#include "backgroundmatcher.h"
#include "keywordlist.h"
#include "linegroup.h"
#include "linepiece.h"
#include "piececutter.h"
#include "settings/settings.h"

namespace {
const QString findRuleName = QStringLiteral("zFind_1");
const int beyondAll = std::numeric_limits<int>::max();

// Every rule colours its matches with its own foreground on the preview's
// background, and sets nothing else.
QTextCharFormat ruleFormat(const QColor &foreground)
{
    QTextCharFormat format;
    format.setForeground(QBrush(foreground, Qt::SolidPattern));
    format.setBackground(QBrush(Settings::instance()->backcolor, Qt::SolidPattern));
    return format;
}
}  // namespace

Highlighter::Highlighter(QTextDocument *parent)
    : QSyntaxHighlighter(parent)
{
    // Block numbers move when lines come or go: that must be noted before
    // Qt colours the changed lines, so Qt's own handler is connected again
    // after ours.
    setDocument(nullptr);
    changes = connect(parent, &QTextDocument::contentsChange, this, &Highlighter::documentChanged);
    setDocument(parent);
    knownBlocks = parent->blockCount();

    // A slice ends when control is back in the event loop.
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &Highlighter::colourPendingLines);
    background = new BackgroundMatcher(this);
    connect(background, &BackgroundMatcher::ready, this, &Highlighter::colourAnsweredLine);

    // Colour text changes from the start rather than after a first pass
    // from the event loop.
    rehighlight();
}

Highlighter::~Highlighter()
{
    // The base class clears the formats as it goes: not ours to see.
    disconnect(changes);
}

void Highlighter::addRule(const QString &name, const QString &pattern, const QTextCharFormat &format)
{
    if (pattern.isEmpty()) {
        rulesChanged();
        rules.remove(name);
        return;
    }
    addRule(name, QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp), format);
}

void Highlighter::addRule(const QString &name, const QRegExp &expression, const QTextCharFormat &format)
{
    rulesChanged();
    if (expression.pattern().isEmpty()) {
        rules.remove(name);
        return;
    }
    rules.insert(name, HighlightingRule { expression, format });
}

void Highlighter::buildRules(const QStringList &keywordLines, int wordLimit)
{
    const Settings *settings = Settings::instance();

    const QTextCharFormat keywordFormat = ruleFormat(settings->reservecolor);
    for (int n = 0; n < keywordLines.size(); ++n) {
        const QString &line = keywordLines.at(n);
        const QString pattern = n < wordLimit ? QStringLiteral("\\b") + line + QStringLiteral("\\b") : line;
        addRule(QStringLiteral("KeyWord_%1").arg(n), pattern, keywordFormat);
    }

    commentFormat = ruleFormat(settings->commentcolor);
    if (!commentPattern.isEmpty())
        addRule(QStringLiteral("Comment"), commentPattern, commentFormat);

    const QTextCharFormat literalFormat = ruleFormat(settings->reteralcolor);
    addRule(QStringLiteral("Reteral_1"), QStringLiteral("\"[^\"]*\""), literalFormat);
    addRule(QStringLiteral("Reteral_2"), QStringLiteral("'[^']*'"), literalFormat);

    addRule(QStringLiteral("Value"),
        QStringLiteral("\\btrue\\b|\\bfalse\\b|\\b[0-9]+\\b|\\b0x[0-9A-Fa-f]+\\b"),
        ruleFormat(settings->valuecolor));
}

void Highlighter::setFindExpression(const QRegExp &expression, bool recolour)
{
    const QTextCharFormat findFormat = ruleFormat(Settings::instance()->findcolor);
    rules.remove(findRuleName);
    addRule(findRuleName, expression, findFormat);
    if (recolour) {
        this->recolour();
    } else {
        // The colours shown are stale; they are replaced soon.
        markAllPending();
        nextSlice.start();
    }
}

void Highlighter::loadKeywordList(const QString &listName)
{
    rulesChanged();
    rules.clear();
    commentPattern.clear();

    KeywordList list;
    if (!list.read(KeywordList::pathFor(listName)))
        return;
    commentPattern = list.commentPattern;
    buildRules(list.keywordLines, list.wordLimit);
    recolour();
}

void Highlighter::markAllPending()
{
    pending.clear();
    awaiting.clear();
    awaitingLines.clear();
    if (document())
        pending.insert(0, document()->blockCount());
}

void Highlighter::recolour()
{
    if (!document())
        return;
    markAllPending();
    // A new rule set is what the user waits for: it gets a budget of its own.
    sliceOpen = false;
    openSlice();
    if (viewColourer)
        viewColourer();
    else
        colourInOrder();
}

bool Highlighter::isPending(const QTextBlock &block) const
{
    const int number = block.blockNumber();
    return pending.contains(number) || awaiting.contains(number);
}

void Highlighter::openSlice()
{
    if (sliceOpen)
        return;
    sliceOpen = true;
    linesThisSlice = 0;
    sliceClock.start();
    nextSlice.start();
}

// At least one line per slice, so that every slice makes progress.
bool Highlighter::budgetLeft()
{
    if (workBudget < 0)
        return true;
    openSlice();
    return linesThisSlice == 0 || sliceClock.elapsed() < workBudget;
}

void Highlighter::colourPendingLines()
{
    sliceOpen = false;
    if (pending.isEmpty() || !document())
        return;
    openSlice();
    if (viewColourer)
        viewColourer();
    colourInOrder();
}

void Highlighter::colourInOrder()
{
    QTextBlock block;
    while (!pending.isEmpty() && budgetLeft()) {
        const int number = pending.first();
        if (!block.isValid() || block.blockNumber() != number)
            block = document()->findBlockByNumber(number);
        if (!block.isValid()) {
            pending.remove(number, beyondAll);
            break;
        }
        colourNow(block, false);
        block = block.next();
    }
}

bool Highlighter::colourBlock(const QTextBlock &block)
{
    if (!block.isValid() || !pending.contains(block.blockNumber()))
        return true;
    if (!budgetLeft())
        return false;
    colourNow(block, true);
    return true;
}

void Highlighter::colourNow(const QTextBlock &block, bool urgent)
{
    const int number = block.blockNumber();
    if (block.length() <= 1 || isUncolouredTail(block)) {
        // Nothing to colour, and nothing coloured to take away.
        pending.remove(number);
        awaiting.remove(number);
        return;
    }
    ++linesThisSlice;
    target = number;
    targetUrgent = urgent;
    rehighlightBlock(block);
    target = -1;
    // Coloured, or now waiting for the worker.
    pending.remove(number);
}

// Whether `block` is a piece past the coloured part of its line that has no
// colours: colouring it would change nothing.
bool Highlighter::isUncolouredTail(const QTextBlock &block)
{
    const LinePiece *piece = LinePiece::of(block);
    return piece && piece->offset >= maxColouredLength && block.layout()->formats().isEmpty();
}

void Highlighter::highlightBlock(const QString &text)
{
    const int number = currentBlock().blockNumber();
    if (text.isEmpty()) {
        // Nothing to colour; the block state is left as it was.
        pending.remove(number);
        awaiting.remove(number);
        return;
    }
    if (held) {
        pending.insert(number);
        nextSlice.start();
        return;
    }
    if (number != target) {
        // One of Qt's own passes: an edit, or rehighlight().
        if (!budgetLeft()) {
            pending.insert(number);
            awaiting.remove(number);
            return;
        }
        ++linesThisSlice;
    }
    setCurrentBlockState(-1);
    if (const LinePiece *piece = LinePiece::of(currentBlock())) {
        colourPiece(number, *piece, text.length(), number == target && targetUrgent);
        return;
    }
    if (LineGroup::of(currentBlock())) {
        // Several lines, each coloured on its own.
        int start = 0;
        for (const QStringRef &line : text.splitRef(QChar(QChar::LineSeparator))) {
            highlightLine(line.toString(), start);
            start += line.size() + 1;
        }
    } else {
        highlightText(text);
    }
    pending.remove(number);
    awaiting.remove(number);
}

void Highlighter::highlightText(const QString &text)
{
    highlightLine(text, 0);
}

// Colours `line`, which starts at `at` in the current block.
void Highlighter::highlightLine(const QString &line, int at)
{
    refreshOrder();
    apply(LineMatcher(orderedPatterns, maxColouredLength).match(line), 0, line.length(), at);
}

void Highlighter::colourPiece(int number, const LinePiece &piece, int length, bool urgent)
{
    pending.remove(number);
    if (piece.offset >= maxColouredLength) {
        awaiting.remove(number);
        return;
    }
    const QVector<LineMatch> *matches = pieceMatches(piece, urgent);
    if (!matches) {
        if (!awaiting.contains(number)) {
            awaiting.insert(number);
            awaitingLines[piece.lineStart].append(number);
        }
        return;
    }
    awaiting.remove(number);
    apply(*matches, piece.offset, length);
}

// The matches of the whole line that `piece` is part of: searched for here
// when the line is short enough, else by the worker.
const QVector<LineMatch> *Highlighter::pieceMatches(const LinePiece &piece, bool urgent)
{
    refreshOrder();
    if (piece.entrySerial == lastEntry && piece.lineStart == lastLineStart && rulesSerial == lastRules)
        return &lastMatches;
    const int end = PieceCutter::lineEnd(piece.entry, piece.lineStart, maxLocalLineLength);
    if (end < 0) {
        return background->find(piece.entry, piece.entrySerial, piece.lineStart, matchRules, rulesSerial,
            maxColouredLength, urgent);
    }
    const QString line = piece.entry.mid(piece.lineStart, end - piece.lineStart);
    lastMatches = LineMatcher(orderedPatterns, maxColouredLength).match(line);
    lastEntry = piece.entrySerial;
    lastLineStart = piece.lineStart;
    lastRules = rulesSerial;
    return &lastMatches;
}

// Gives the characters [offset, offset + length) of a line, which are at
// `at` in the current block, the colours of its matches, applied in order.
void Highlighter::apply(const QVector<LineMatch> &matches, int offset, int length, int at)
{
    const int end = offset + length;
    for (const LineMatch &match : matches) {
        const int from = qMax(match.start, offset);
        const int to = qMin(match.start + match.length, end);
        if (from < to)
            setFormat(at + from - offset, to - from, orderedFormats.at(match.rule));
    }
}

void Highlighter::refreshOrder()
{
    if (orderSerial == rulesSerial)
        return;
    orderedPatterns.clear();
    orderedFormats.clear();
    matchRules.clear();
    for (const HighlightingRule &rule : rules) {
        orderedPatterns.append(rule.pattern);
        orderedFormats.append(rule.format);
        matchRules.append(MatchRule::of(rule.pattern));
    }
    orderSerial = rulesSerial;
}

void Highlighter::colourAnsweredLine(int lineStart)
{
    const QVector<int> numbers = awaitingLines.take(lineStart);
    for (const int number : numbers) {
        if (!awaiting.contains(number))
            continue;
        const QTextBlock block = document()->findBlockByNumber(number);
        awaiting.remove(number);
        if (block.isValid()) {
            pending.insert(number);
            colourNow(block, true);
        }
    }
}

// Lines added or removed move the block numbers after them: every line from
// the first one changed on waits again (Qt colours the changed ones next).
void Highlighter::documentChanged(int position, int, int)
{
    const int count = document()->blockCount();
    if (count == knownBlocks)
        return;
    knownBlocks = count;
    const int first = document()->findBlock(position).blockNumber();
    pending.remove(count, beyondAll);
    pending.insert(qMax(first, 0), count);
    awaiting.remove(qMax(first, 0), beyondAll);
    if (awaiting.isEmpty())
        awaitingLines.clear();
    nextSlice.start();
}

#include "highlighter.h"

#include <QBrush>
#include <QTextBlock>
#include <QTextDocument>

#include "keywordlist.h"
#include "settings/settings.h"

namespace {
const QString findRuleName = QStringLiteral("zFind_1");
// The state of a line that waits for a later slice; a coloured line has -1.
const int pendingState = -2;

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
    // A slice ends when control is back in the event loop.
    nextSlice.setSingleShot(true);
    nextSlice.setInterval(0);
    connect(&nextSlice, &QTimer::timeout, this, &Highlighter::colourPendingLines);
}

void Highlighter::addRule(const QString &name, const QString &pattern, const QTextCharFormat &format)
{
    if (pattern.isEmpty()) {
        rules.remove(name);
        return;
    }
    addRule(name, QRegExp(pattern, Qt::CaseSensitive, QRegExp::RegExp), format);
}

void Highlighter::addRule(const QString &name, const QRegExp &expression, const QTextCharFormat &format)
{
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
    if (recolour)
        rehighlight();
}

void Highlighter::loadKeywordList(const QString &listName)
{
    rules.clear();
    commentPattern.clear();

    KeywordList list;
    if (!list.read(KeywordList::pathFor(listName)))
        return;
    commentPattern = list.commentPattern;
    buildRules(list.keywordLines, list.wordLimit);
    rehighlight();
}

void Highlighter::highlightBlock(const QString &text)
{
    if (text.isEmpty()) {
        // A line emptied while it waited has nothing left to wait for.
        if (currentBlockState() == pendingState)
            setCurrentBlockState(-1);
        return;
    }
    if (workBudget >= 0) {
        if (!sliceOpen) {
            sliceOpen = true;
            linesThisSlice = 0;
            sliceClock.start();
            nextSlice.start();
        }
        // At least one line per slice, so that every slice makes progress.
        if (linesThisSlice > 0 && sliceClock.elapsed() >= workBudget) {
            setCurrentBlockState(pendingState);
            const int line = currentBlock().blockNumber();
            if (!linesPending || line < firstPendingLine)
                firstPendingLine = line;
            linesPending = true;
            return;
        }
        ++linesThisSlice;
    }
    setCurrentBlockState(-1);
    highlightText(text.length() > maxColouredLength ? text.left(maxColouredLength) : text);
}

void Highlighter::colourPendingLines()
{
    sliceOpen = false;
    if (!linesPending || !document())
        return;
    linesPending = false;
    const int from = firstPendingLine;
    sliceOpen = true;
    linesThisSlice = 0;
    sliceClock.start();
    // Colouring a pending line goes on by itself into the following lines
    // while their state changes; the search picks it up again after a line
    // that stays as it was (an empty one) or the end of the slice.
    for (QTextBlock block = document()->findBlockByNumber(from); block.isValid(); block = block.next()) {
        if (block.userState() != pendingState)
            continue;
        if (linesThisSlice > 0 && sliceClock.elapsed() >= workBudget) {
            linesPending = true;
            firstPendingLine = block.blockNumber();
            break;
        }
        rehighlightBlock(block);
        if (linesPending) {
            // The slice ran out inside the chain.
            break;
        }
    }
    sliceOpen = false;
    if (!linesPending && from > 0 && pendingLines() > 0) {
        // An edit before the first pending line moved it up.
        linesPending = true;
        firstPendingLine = 0;
    }
    if (linesPending)
        nextSlice.start();
}

bool Highlighter::isPending(const QTextBlock &block)
{
    return block.userState() == pendingState;
}

int Highlighter::pendingLines() const
{
    int count = 0;
    if (!document())
        return 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        count += block.userState() == pendingState;
    return count;
}

void Highlighter::highlightText(const QString &text)
{
    const int length = text.length();
    for (auto rule = rules.cbegin(); rule != rules.cend(); ++rule) {
        // Matching records the match in the expression: work on a copy.
        QRegExp expression = rule->pattern;
        int position = expression.indexIn(text, 0);
        while (position >= 0) {
            const int matched = expression.matchedLength();
            if (matched > 0)
                setFormat(position, matched, rule->format);
            if (position + matched >= length)
                break;
            // An empty match would be found again at the same place: step
            // past it by one character.
            position = expression.indexIn(text, position + qMax(matched, 1));
        }
    }
}

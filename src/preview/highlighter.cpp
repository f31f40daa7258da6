#include "highlighter.h"

#include <QBrush>

#include "keywordlist.h"
#include "settings/settings.h"

namespace {
const QString findRuleName = QStringLiteral("zFind_1");

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
{ }

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

void Highlighter::setFindExpression(const QRegExp &expression)
{
    const QTextCharFormat findFormat = ruleFormat(Settings::instance()->findcolor);
    rules.remove(findRuleName);
    addRule(findRuleName, expression, findFormat);
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
    if (text.isEmpty())
        return;
    setCurrentBlockState(-1);
    highlightText(text);
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

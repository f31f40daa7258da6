#ifndef HIGHLIGHTER_H
#define HIGHLIGHTER_H

#include <QMap>
#include <QRegExp>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

// Colours the preview: keywords and the comment expression of the keyword
// list file, quoted literals, values, and the matches of the popup's filter.
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
    void setFindExpression(const QRegExp &expression);
    void loadKeywordList(const QString &listName);

    const QMap<QString, HighlightingRule> &ruleSet() const { return rules; }
    QString comment() const { return commentPattern; }

protected:
    void highlightBlock(const QString &text) override;
    void highlightText(const QString &text);

private:
    QMap<QString, HighlightingRule> rules;
    QString commentPattern;
    QTextCharFormat commentFormat;
};

#endif  // HIGHLIGHTER_H

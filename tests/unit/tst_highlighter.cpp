#include <QFile>
#include <QPlainTextDocumentLayout>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QtTest>

#include "preview/highlighter.h"
#include "preview/linepiece.h"
#include "settings/appdir.h"
#include "settings/settings.h"

namespace {
// A document laid out as the preview lays out its own.
class PlainDocument : public QTextDocument
{
public:
    PlainDocument() { setDocumentLayout(new QPlainTextDocumentLayout(this)); }
};

const QColor keywordColor(1, 2, 3);
const QColor commentColor(4, 5, 6);
const QColor literalColor(7, 8, 9);
const QColor valueColor(10, 11, 12);
const QColor findColor(13, 14, 15);
const QColor backColor(16, 17, 18);

// One letter per character of a block: the rule colour that covers it.
QChar colourCode(const QTextCharFormat &format)
{
    if (!format.hasProperty(QTextFormat::ForegroundBrush))
        return QLatin1Char('.');
    const QColor color = format.foreground().color();
    if (color == keywordColor)
        return QLatin1Char('k');
    if (color == commentColor)
        return QLatin1Char('c');
    if (color == literalColor)
        return QLatin1Char('l');
    if (color == valueColor)
        return QLatin1Char('v');
    if (color == findColor)
        return QLatin1Char('f');
    return QLatin1Char('?');
}

QString colourCodes(const QTextBlock &block)
{
    QString codes(block.length() - 1, QLatin1Char('.'));
    for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
        for (int i = range.start; i < range.start + range.length && i < codes.size(); ++i)
            codes[i] = colourCode(range.format);
    }
    return codes;
}

// The colours of one uninterrupted pass of every rule over the whole line,
// as the colouring is specified, kept in the first maxColouredLength
// characters only.
QString referenceCodes(const Highlighter &highlighter, const QString &line)
{
    QString codes(line.size(), QLatin1Char('.'));
    for (const Highlighter::HighlightingRule &rule : highlighter.ruleSet()) {
        QRegExp expression = rule.pattern;
        int position = expression.indexIn(line, 0);
        while (position >= 0) {
            const int length = expression.matchedLength();
            for (int i = position; i < position + length; ++i)
                codes[i] = colourCode(rule.format);
            if (position + length >= line.size())
                break;
            position = expression.indexIn(line, position + qMax(length, 1));
        }
    }
    for (int i = Highlighter::maxColouredLength; i < codes.size(); ++i)
        codes[i] = QLatin1Char('.');
    return codes;
}

// Shows `line` in `document` as pieces cut at `cuts`, as the preview shows a
// long line, and colours them again.
void showPieces(QTextDocument &document, Highlighter &highlighter, const QString &line,
    const QList<int> &cuts, quint64 serial)
{
    QList<int> ends = cuts;
    ends << line.size();
    QString text;
    int from = 0;
    for (const int end : ends) {
        text += line.midRef(from, end - from);
        if (end < line.size())
            text += QChar(QChar::ParagraphSeparator);
        from = end;
    }
    highlighter.setHeld(true);
    document.setPlainText(text);
    highlighter.setHeld(false);
    QTextBlock block = document.firstBlock();
    from = 0;
    for (const int end : ends) {
        block.setUserData(new LinePiece(line, serial, 0, from, end - from, end < line.size()));
        block = block.next();
        from = end;
    }
    highlighter.recolour();
}

QString joinedCodes(const QTextDocument &document)
{
    QString codes;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        codes += colourCodes(block);
    return codes;
}
}  // namespace

class TestHighlighter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fiveLineExampleRules();
    void twelveKeywordRulesInNameOrder();
    void formatsSetOnlyTheTwoColours();
    void colours_data();
    void colours();
    void emptyMatchesTerminate_data();
    void emptyMatchesTerminate();
    void missingFileVersusEmptyFile();
    void emptyLineKeepsItsState();
    void findRuleReplacedAndRemoved();
    void reloadDropsTheFindRule();
    void addRuleForms();
    void slicesGiveTheColoursOfOnePass();
    void longLinesColouredInTheirFirstPart();
    void exactCap_data();
    void exactCap();
    void piecesGetTheColoursOfTheirLine_data();
    void piecesGetTheColoursOfTheirLine();
    void newRulesWhileTheWorkerSearches();
    void editedPieceIsALineOfItsOwn();
    void heldLinesWaitUntilColoured();
    void linesInViewFirst();

private:
    void writeList(const QByteArray &content);
    Highlighter *makeHighlighter(QTextDocument *document);
    QTemporaryDir *dir = nullptr;
};

void TestHighlighter::init()
{
    dir = new QTemporaryDir;
    QVERIFY(dir->isValid());
    AppDir::setOverride(dir->path());
    Settings *settings = Settings::instance();
    *settings = Settings();
    settings->reservecolor = keywordColor;
    settings->commentcolor = commentColor;
    settings->reteralcolor = literalColor;
    settings->valuecolor = valueColor;
    settings->findcolor = findColor;
    settings->backcolor = backColor;
}

void TestHighlighter::cleanup()
{
    AppDir::setOverride(QString());
    delete dir;
    dir = nullptr;
}

void TestHighlighter::writeList(const QByteArray &content)
{
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("list")));
    QFile file(dir->path() + QStringLiteral("/list/.lst"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

Highlighter *TestHighlighter::makeHighlighter(QTextDocument *document)
{
    auto *highlighter = new Highlighter(document);
    highlighter->loadKeywordList(QString());
    // A highlighter put on a document holds back its work on text changes
    // until its first pass, which it runs from the event loop.
    QCoreApplication::processEvents();
    return highlighter;
}

void TestHighlighter::fiveLineExampleRules()
{
    writeList("SingleLineComment=;.*$\nint\nreturn\n##NOTWORD##\n#[a-z]+\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);

    const QMap<QString, Highlighter::HighlightingRule> &rules = highlighter->ruleSet();
    QCOMPARE(rules.keys(),
        (QStringList {
            "Comment", "KeyWord_0", "KeyWord_1", "KeyWord_2", "Reteral_1", "Reteral_2", "Value" }));
    const QStringList patterns { ";.*$", "\\bint\\b", "\\breturn\\b", "#[a-z]+", "\"[^\"]*\"", "'[^']*'",
        "\\btrue\\b|\\bfalse\\b|\\b[0-9]+\\b|\\b0x[0-9A-Fa-f]+\\b" };
    const QList<QColor> colours { commentColor, keywordColor, keywordColor, keywordColor, literalColor,
        literalColor, valueColor };
    int i = 0;
    for (auto rule = rules.cbegin(); rule != rules.cend(); ++rule, ++i) {
        QCOMPARE(rule->pattern.pattern(), patterns.at(i));
        QCOMPARE(rule->pattern.caseSensitivity(), Qt::CaseSensitive);
        QCOMPARE(rule->pattern.patternSyntax(), QRegExp::RegExp);
        QCOMPARE(rule->format.foreground().color(), colours.at(i));
    }
    QCOMPARE(highlighter->comment(), QStringLiteral(";.*$"));

    document.setPlainText(QStringLiteral("int x; return 0\n#include <a> int"));
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("kkk..cckkkkkkcv"));
    QCOMPARE(colourCodes(document.lastBlock()), QStringLiteral("kkkkkkkk.....kkk"));
}

void TestHighlighter::twelveKeywordRulesInNameOrder()
{
    QByteArray content;
    for (int i = 0; i < 12; ++i)
        content += "k" + QByteArray::number(i) + "\n";
    writeList(content);
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);

    QStringList keywordNames;
    QStringList keywordPatterns;
    for (auto rule = highlighter->ruleSet().cbegin(); rule != highlighter->ruleSet().cend(); ++rule) {
        if (rule.key().startsWith(QStringLiteral("KeyWord_"))) {
            keywordNames << rule.key();
            keywordPatterns << rule->pattern.pattern();
            QCOMPARE(rule->format.foreground().color(), keywordColor);
        }
    }
    const QList<int> order { 0, 1, 10, 11, 2, 3, 4, 5, 6, 7, 8, 9 };
    QCOMPARE(keywordNames.size(), 12);
    for (int i = 0; i < order.size(); ++i) {
        QCOMPARE(keywordNames.at(i), QStringLiteral("KeyWord_%1").arg(order.at(i)));
        QCOMPARE(keywordPatterns.at(i), QStringLiteral("\\bk%1\\b").arg(order.at(i)));
    }
}

void TestHighlighter::formatsSetOnlyTheTwoColours()
{
    writeList("SingleLineComment=#.*\nint\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setFindExpression(QRegExp(QStringLiteral("x")));
    QCOMPARE(highlighter->ruleSet().size(), 6);
    for (const Highlighter::HighlightingRule &rule : highlighter->ruleSet()) {
        const QMap<int, QVariant> properties = rule.format.properties();
        QCOMPARE(
            properties.keys(), (QList<int> { QTextFormat::BackgroundBrush, QTextFormat::ForegroundBrush }));
        QCOMPARE(rule.format.background().style(), Qt::SolidPattern);
        QCOMPARE(rule.format.foreground().style(), Qt::SolidPattern);
        QCOMPARE(rule.format.background().color(), backColor);
    }
}

void TestHighlighter::colours_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("codes");

    const QByteArray cLike("SingleLineComment=//.*$\nint\nreturn\n");
    QTest::newRow("keyword and literal inside a comment") << cLike << QString() << "x; // int \"s\" 4"
                                                          << "...ccckkkclllcv";
    QTest::newRow("number inside a literal") << cLike << QString() << "\"a 42 b\" '7'"
                                             << "lllvvlll.lvl";
    QTest::newRow("find on top of everything") << cLike << "t 4|\"|//"
                                               << "int 42 \"s\" // ok"
                                               << "kkfffv.flf.ffccc";
    QTest::newRow("find across a keyword") << cLike << "eturn"
                                           << "return 1"
                                           << "kfffff.v";
    QTest::newRow("value case") << QByteArray() << QString()
                                << "True FALSE 0X1F 0x1F 0x1f abc123 true false 12"
                                << "................vvvv.vvvv........vvvv.vvvvv.vv";
    QTest::newRow("unterminated quotes") << QByteArray() << QString() << "say \"hello 'x"
                                         << ".............";
    QTest::newRow("whole word keywords") << QByteArray("int\n") << QString() << "int ints print int"
                                         << "kkk............kkk";
    QTest::newRow("hash keyword in the whole-word part never at line start")
        << QByteArray("#if\n") << QString() << "#if a#if"
        << ".....kkk";
    QTest::newRow("free expression after the marker")
        << QByteArray("##NOTWORD##\n#if\n") << QString() << "#if a#if"
        << "kkk..kkk";
    QTest::newRow("alternation wrapped as a whole")
        << QByteArray("do|while\n") << QString() << "dox xwhile do"
        << "kk...kkkkk.kk";
    QTest::newRow("trailing blank in a whole-word keyword")
        << QByteArray("for \n") << QString() << "for x for ("
        << "kkkk.......";
    QTest::newRow("blank kept in the comment pattern")
        << QByteArray("SingleLineComment = #.*\n") << QString() << "#x a # b"
        << "....cccc";
    QTest::newRow("invalid expressions never match") << QByteArray("SingleLineComment=(\n[a\nint\n") << "("
                                                     << "int [a ("
                                                     << "kkk.....";
#ifndef Q_OS_WIN
    // The list is read in the locale's encoding: UTF-8 on Linux, the ANSI
    // code page on Windows.
    QTest::newRow("non-ASCII keyword") << QByteArray("関数\n") << QString() << "関数 x"
                                       << "kk..";
#endif
}

void TestHighlighter::colours()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, find);
    QFETCH(QString, text);
    QFETCH(QString, codes);
    QCOMPARE(codes.size(), text.size());

    writeList(list);
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    if (!find.isEmpty())
        highlighter->setFindExpression(QRegExp(find, Qt::CaseSensitive, QRegExp::RegExp));
    document.setPlainText(text);
    QCOMPARE(colourCodes(document.firstBlock()), codes);

    // The find rule set after the text is there colours the same.
    PlainDocument later;
    later.setPlainText(text);
    Highlighter *second = makeHighlighter(&later);
    second->setFindExpression(QRegExp(find, Qt::CaseSensitive, QRegExp::RegExp));
    QCOMPARE(colourCodes(later.firstBlock()), codes);
}

void TestHighlighter::emptyMatchesTerminate_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("codes");

    QTest::newRow("empty whole-word line") << QByteArray("\nint\n") << QString() << "int x int"
                                           << "kkk...kkk";
    QTest::newRow("repeated item") << QByteArray() << "a*"
                                   << "baaab a"
                                   << ".fff..f";
    QTest::newRow("optional item") << QByteArray() << "x?"
                                   << "axbx"
                                   << ".f.f";
    QTest::newRow("start anchor") << QByteArray() << "^"
                                  << "abc"
                                  << "...";
    QTest::newRow("end anchor") << QByteArray() << "$"
                                << "abc"
                                << "...";
    QTest::newRow("word boundaries") << QByteArray() << "\\b\\b"
                                     << "ab cd"
                                     << ".....";
    QTest::newRow("empty comment expression") << QByteArray("SingleLineComment=#*\n") << QString() << "a##b#"
                                              << ".cc.c";
    QTest::newRow("empty match next to a real one") << QByteArray() << "b*"
                                                    << "abba"
                                                    << ".ff.";
}

void TestHighlighter::emptyMatchesTerminate()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, find);
    QFETCH(QString, text);
    QFETCH(QString, codes);

    writeList(list);
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    if (!find.isEmpty())
        highlighter->setFindExpression(QRegExp(find, Qt::CaseSensitive, QRegExp::RegExp));
    document.setPlainText(text + QLatin1Char('\n') + text);
    QCOMPARE(colourCodes(document.firstBlock()), codes);
    QCOMPARE(colourCodes(document.lastBlock()), codes);
}

void TestHighlighter::missingFileVersusEmptyFile()
{
    const QString text = QStringLiteral("\"s\" 42 'c' true");
    {
        PlainDocument document;
        Highlighter *highlighter = makeHighlighter(&document);
        QVERIFY(highlighter->ruleSet().isEmpty());
        document.setPlainText(text);
        QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("..............."));
        highlighter->setFindExpression(QRegExp(QStringLiteral("42")));
        QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("....ff........."));
    }
    writeList(QByteArray());
    {
        PlainDocument document;
        Highlighter *highlighter = makeHighlighter(&document);
        QCOMPARE(highlighter->ruleSet().keys(), (QStringList { "Reteral_1", "Reteral_2", "Value" }));
        document.setPlainText(text);
        QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("lll.vv.lll.vvvv"));
    }
}

void TestHighlighter::emptyLineKeepsItsState()
{
    writeList("int\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    document.setPlainText(QStringLiteral("int\n\nint"));
    QTextBlock first = document.firstBlock();
    QTextBlock empty = first.next();
    first.setUserState(7);
    empty.setUserState(7);
    highlighter->rehighlight();
    QCOMPARE(first.userState(), -1);
    QCOMPARE(empty.userState(), 7);
    QVERIFY(empty.layout()->formats().isEmpty());
    QCOMPARE(colourCodes(document.lastBlock()), QStringLiteral("kkk"));
}

void TestHighlighter::findRuleReplacedAndRemoved()
{
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    document.setPlainText(QStringLiteral("abcabc"));

    highlighter->setFindExpression(QRegExp(QStringLiteral("B"), Qt::CaseInsensitive));
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral(".f..f."));
    highlighter->setFindExpression(QRegExp(QStringLiteral("B"), Qt::CaseInsensitive));
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral(".f..f."));
    QCOMPARE(highlighter->ruleSet().size(), 1);

    // The find colour is read again at each call.
    Settings::instance()->findcolor = keywordColor;
    highlighter->setFindExpression(QRegExp(QStringLiteral("c")));
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("..k..k"));

    highlighter->setFindExpression(QRegExp());
    QVERIFY(highlighter->ruleSet().isEmpty());
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("......"));
}

void TestHighlighter::reloadDropsTheFindRule()
{
    writeList("SingleLineComment=#\nint\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setFindExpression(QRegExp(QStringLiteral("x")));
    QVERIFY(highlighter->ruleSet().contains(QStringLiteral("zFind_1")));

    QFile::remove(dir->path() + QStringLiteral("/list/.lst"));
    highlighter->loadKeywordList(QString());
    QVERIFY(highlighter->ruleSet().isEmpty());
    QVERIFY(highlighter->comment().isEmpty());
}

void TestHighlighter::addRuleForms()
{
    PlainDocument document;
    Highlighter highlighter(&document);
    QTextCharFormat format;
    format.setForeground(keywordColor);

    highlighter.addRule(QStringLiteral("A"), QStringLiteral("x+"), format);
    QCOMPARE(highlighter.ruleSet().value(QStringLiteral("A")).pattern.pattern(), QStringLiteral("x+"));
    highlighter.addRule(
        QStringLiteral("A"), QRegExp(QStringLiteral("y"), Qt::CaseInsensitive, QRegExp::Wildcard), format);
    const QRegExp stored = highlighter.ruleSet().value(QStringLiteral("A")).pattern;
    QCOMPARE(stored.pattern(), QStringLiteral("y"));
    QCOMPARE(stored.caseSensitivity(), Qt::CaseInsensitive);
    QCOMPARE(stored.patternSyntax(), QRegExp::Wildcard);
    QCOMPARE(highlighter.ruleSet().size(), 1);

    highlighter.addRule(QStringLiteral("A"), QString(), format);
    QVERIFY(highlighter.ruleSet().isEmpty());
    highlighter.addRule(QStringLiteral("B"), QStringLiteral("z"), format);
    highlighter.addRule(QStringLiteral("B"), QRegExp(), format);
    QVERIFY(highlighter.ruleSet().isEmpty());
}

void TestHighlighter::slicesGiveTheColoursOfOnePass()
{
    writeList("SingleLineComment=//.*$\nint\nreturn\n##NOTWORD##\n#[a-z]+\n");
    QStringList lines;
    for (int i = 0; i < 600; ++i) {
        lines << QStringLiteral("int x%1 = %1; // return \"s\"").arg(i) << QString()
              << QStringLiteral("#define Y '%1' true").arg(i)
              << QStringLiteral("\treturn 0x%1;").arg(i, 0, 16);
    }
    const QString text = lines.join(QLatin1Char('\n'));

    PlainDocument plain;
    Highlighter *onePass = makeHighlighter(&plain);
    onePass->setWorkBudget(-1);
    plain.setPlainText(text);
    QCOMPARE(onePass->pendingLines(), 0);

    PlainDocument sliced;
    Highlighter *slices = makeHighlighter(&sliced);
    // One line per slice.
    slices->setWorkBudget(0);
    sliced.setPlainText(text);
    QVERIFY(slices->pendingLines() > 1000);
    QCOMPARE(colourCodes(sliced.lastBlock()), QString(sliced.lastBlock().length() - 1, QLatin1Char('.')));
    // A waiting line that is emptied does not wait for ever.
    const QTextBlock waiting = sliced.findBlockByNumber(sliced.blockCount() - 2);
    QVERIFY(slices->isPending(waiting));
    const QString original = waiting.text();
    QTextCursor cursor(waiting);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    QVERIFY(cursor.block().text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(slices->pendingLines(), 0, 60000);
    cursor.insertText(original);
    QTRY_COMPARE_WITH_TIMEOUT(slices->pendingLines(), 0, 60000);

    const auto compareAll = [&]() {
        QCOMPARE(sliced.blockCount(), plain.blockCount());
        for (QTextBlock a = plain.begin(), b = sliced.begin(); a.isValid(); a = a.next(), b = b.next()) {
            QCOMPARE(colourCodes(b), colourCodes(a));
            QCOMPARE(b.userState(), a.userState());
        }
    };
    compareAll();
    QVERIFY(colourCodes(plain.lastBlock()).contains(QLatin1Char('k')));

    slices->setWorkBudget(5);
    onePass->setFindExpression(QRegExp(QStringLiteral("[0-9]+;")));
    slices->setFindExpression(QRegExp(QStringLiteral("[0-9]+;")));
    QTRY_COMPARE_WITH_TIMEOUT(slices->pendingLines(), 0, 60000);
    compareAll();
    QVERIFY(colourCodes(plain.firstBlock()).contains(QLatin1Char('f')));
}

void TestHighlighter::longLinesColouredInTheirFirstPart()
{
    writeList(QByteArray());
    PlainDocument document;
    makeHighlighter(&document);
    const int limit = Highlighter::maxColouredLength;
    QCOMPARE(limit % 5, 0);
    document.setPlainText(QStringLiteral("x 42 ").repeated(limit / 5 + 100) + QLatin1String("\n")
        + QStringLiteral("x 42 ").repeated(limit / 5));
    QCOMPARE(colourCodes(document.firstBlock()),
        QStringLiteral("..vv.").repeated(limit / 5) + QString(500, QLatin1Char('.')));
    QCOMPARE(colourCodes(document.lastBlock()), QStringLiteral("..vv.").repeated(limit / 5));
}

// The text around column maxColouredLength decides the colours before it
// exactly as the whole line does.
void TestHighlighter::exactCap_data()
{
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("around");  // put so that its '|' falls on the cap
    QTest::addColumn<bool>("cutTextDiffers");

    QTest::newRow("literal crossing the cap") << QString() << "x \"abc|def\" y" << true;
    QTest::newRow("keyword cut by the cap") << QString() << "a ret|urn b" << true;
    QTest::newRow("word boundary right after the cap") << QString() << "a 12|x b" << true;
    QTest::newRow("number crossing the cap") << QString() << "a 12|34 b" << false;
    QTest::newRow("comment crossing the cap") << QString() << "x //a|bc" << false;
    QTest::newRow("end of line in the find rule") << "c$"
                                                  << "abc|" << true;
    QTest::newRow("lookahead in the find rule") << "b(?=cd)"
                                                << "ab|cd" << true;
    QTest::newRow("negative lookahead in the find rule") << "b(?!c)"
                                                         << "ab|c" << true;
    QTest::newRow("find match crossing the cap") << "xy+z"
                                                 << "axyy|yyz" << true;
    QTest::newRow("empty matches at the cap") << "q*"
                                              << "aqq|qqa" << false;
}

void TestHighlighter::exactCap()
{
    QFETCH(QString, find);
    QFETCH(QString, around);
    QFETCH(bool, cutTextDiffers);
    writeList("SingleLineComment=//.*$\nint\nreturn\n");
    const int cap = Highlighter::maxColouredLength;
    const int bar = around.indexOf(QLatin1Char('|'));
    const QString line = QString(cap - bar, QLatin1Char('-')) + QString(around).remove(QLatin1Char('|'))
        + QStringLiteral(" tail");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setFindExpression(QRegExp(find));
    document.setPlainText(line);
    const QString expected = referenceCodes(*highlighter, line);
    QCOMPARE(colourCodes(document.firstBlock()), expected);
    QCOMPARE(referenceCodes(*highlighter, line.left(cap)) != expected.left(cap), cutTextDiffers);
}

void TestHighlighter::piecesGetTheColoursOfTheirLine_data()
{
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("cuts");

    const int cap = Highlighter::maxColouredLength;
    QString code;
    for (int i = 0; code.size() < 3000; ++i)
        code += QStringLiteral("int v%1 = \"a %1 b\"; return 0x%2; // c'%1'\t").arg(i).arg(i, 0, 16);
    QTest::newRow("cuts inside matches")
        << QString() << code << QList<int> { 3, 9, 17, 30, 500, cap - 1, cap + 1 };
    QTest::newRow("cut at the cap") << "return" << code << QList<int> { 400, cap, 2000 };
    QTest::newRow("word boundaries at the cuts") << "\\bv1\\d*\\b" << code << QList<int> { 13, 14, 15, 16 };
    QTest::newRow("end of line and lookahead") << "0x(?=[0-9a-f]+;)|[0-9]$" << code << QList<int> { 700 };
    QTest::newRow("empty matches") << "z*|\\b" << code << QList<int> { 1, 2, 999 };
    QTest::newRow("literal running past the cap")
        << QString()
        << (QString(cap - 10, QLatin1Char('x')) + QStringLiteral(" \"abc ") + QString(3000, QLatin1Char('y'))
               + QStringLiteral("\" 7"))
        << QList<int> { cap - 5, cap + 20 };
    // Longer lines are searched by the worker.
    QString longCode = code;
    while (longCode.size() < 3 * Highlighter::maxLocalLineLength)
        longCode += code;
    QTest::newRow("long line, cuts inside matches")
        << QString() << longCode << QList<int> { 5, 333, cap, 9000 };
    QTest::newRow("long line, find rule") << "v[0-9]+ =" << longCode << QList<int> { 2, 600, 1200 };
    QTest::newRow("long line, literal closed far away")
        << QString()
        << (QStringLiteral("ab \"") + QString(3 * Highlighter::maxLocalLineLength, QLatin1Char('q'))
               + QStringLiteral("\" 5"))
        << QList<int> { 2, 4, 500 };
}

// Joined, the colours of the pieces are those of the whole line.
void TestHighlighter::piecesGetTheColoursOfTheirLine()
{
    QFETCH(QString, find);
    QFETCH(QString, line);
    QFETCH(QList<int>, cuts);
    writeList("SingleLineComment=//.*$\nint\nreturn\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setFindExpression(QRegExp(find));
    showPieces(document, *highlighter, line, cuts, 1);
    QCOMPARE(document.blockCount(), cuts.size() + 1);
    QTRY_COMPARE_WITH_TIMEOUT(highlighter->pendingLines(), 0, 20000);
    const QString expected = referenceCodes(*highlighter, line);
    QVERIFY(expected.contains(QRegularExpression(QStringLiteral("[klvcf]"))));
    QCOMPARE(joinedCodes(document), expected);
    // The same pieces coloured on their own lines would differ.
    PlainDocument alone;
    Highlighter *separate = makeHighlighter(&alone);
    separate->setFindExpression(QRegExp(find));
    QString split = line;
    for (int i = cuts.size() - 1; i >= 0; --i)
        split.insert(cuts.at(i), QLatin1Char('\n'));
    alone.setPlainText(split);
    QTRY_COMPARE_WITH_TIMEOUT(separate->pendingLines(), 0, 20000);
    QVERIFY(joinedCodes(alone) != expected);
}

void TestHighlighter::newRulesWhileTheWorkerSearches()
{
    writeList("int\n");
    QString line;
    while (line.size() < 4 * Highlighter::maxLocalLineLength)
        line += QStringLiteral("int a1 = 12; b22 'x' ");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setFindExpression(QRegExp(QStringLiteral("a1")));
    showPieces(document, *highlighter, line, { 50, 700 }, 7);
    QVERIFY(highlighter->isPending(document.firstBlock()));
    // Asked again before the answer: the first answer is of no use.
    highlighter->setFindExpression(QRegExp(QStringLiteral("b2+")));
    highlighter->setFindExpression(QRegExp(QStringLiteral("12")));
    QTRY_COMPARE_WITH_TIMEOUT(highlighter->pendingLines(), 0, 20000);
    const QString expected = referenceCodes(*highlighter, line);
    QVERIFY(expected.contains(QLatin1Char('f')));
    QCOMPARE(joinedCodes(document), expected);
}

void TestHighlighter::editedPieceIsALineOfItsOwn()
{
    writeList(QByteArray());
    const QString line = QStringLiteral("say \"a b c d\" 42 ").repeated(30);
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    showPieces(document, *highlighter, line, { 7, 100 }, 3);
    QTRY_COMPARE(highlighter->pendingLines(), 0);
    QCOMPARE(colourCodes(document.firstBlock()), referenceCodes(*highlighter, line).left(7));
    // "say \"a " becomes "say \"aa ": no longer the piece it was.
    QTextCursor cursor(document.firstBlock());
    cursor.setPosition(5);
    cursor.insertText(QStringLiteral("a"));
    QVERIFY(!LinePiece::of(document.firstBlock()));
    QTRY_COMPARE(highlighter->pendingLines(), 0);
    QCOMPARE(colourCodes(document.firstBlock()), QStringLiteral("........"));
    QCOMPARE(colourCodes(document.firstBlock().next()), referenceCodes(*highlighter, line).mid(7, 93));
}

void TestHighlighter::heldLinesWaitUntilColoured()
{
    writeList(QByteArray());
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    highlighter->setHeld(true);
    document.setPlainText(QStringLiteral("1\n\n'x'\n2"));
    highlighter->setHeld(false);
    QCOMPARE(highlighter->pendingLines(), 3);
    QCOMPARE(joinedCodes(document), QStringLiteral("....."));
    const QTextBlock third = document.findBlockByNumber(2);
    QVERIFY(highlighter->colourBlock(third));
    QCOMPARE(colourCodes(third), QStringLiteral("lll"));
    QVERIFY(!highlighter->isPending(third));
    QVERIFY(highlighter->isPending(document.firstBlock()));
    QTRY_COMPARE(highlighter->pendingLines(), 0);
    QCOMPARE(joinedCodes(document), QStringLiteral("vlllv"));
}

// A new rule set colours the lines in view at once and leaves the others
// for later slices.
void TestHighlighter::linesInViewFirst()
{
    writeList("int\n");
    PlainDocument document;
    Highlighter *highlighter = makeHighlighter(&document);
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("int x%1 = %1;").arg(i);
    document.setPlainText(lines.join(QLatin1Char('\n')));
    QTRY_COMPARE(highlighter->pendingLines(), 0);
    // Time enough for the view even in a slow build on a busy machine.
    highlighter->setWorkBudget(1000);

    const int top = 250;
    const int height = 20;
    QVector<int> coloured;
    highlighter->setViewColourer([&]() {
        for (int n = top; n < top + height; ++n) {
            const QTextBlock block = document.findBlockByNumber(n);
            if (highlighter->isPending(block))
                coloured.append(n);
            if (!highlighter->colourBlock(block))
                return;
        }
    });
    highlighter->setFindExpression(QRegExp(QStringLiteral("x2[0-9]+")));
    QCOMPARE(coloured.size(), height);
    for (int n = top; n < top + height; ++n) {
        const QTextBlock block = document.findBlockByNumber(n);
        QVERIFY(!highlighter->isPending(block));
        QCOMPARE(colourCodes(block), referenceCodes(*highlighter, block.text()));
        QVERIFY(colourCodes(block).contains(QLatin1Char('f')));
    }
    QCOMPARE(highlighter->pendingLines(), 400 - height);
    QVERIFY(highlighter->isPending(document.firstBlock()));
    // The others follow from the event loop.
    QTRY_COMPARE(highlighter->pendingLines(), 0);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        QCOMPARE(colourCodes(block), referenceCodes(*highlighter, block.text()));
}

QTEST_MAIN(TestHighlighter)
#include "tst_highlighter.moc"

// The filter's text search: the same verdict and position as
// QString::indexOf in both case modes, for any text, and piece by piece.

#include "popup/textmatcher.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QString units(std::initializer_list<uint> codes)
{
    QString text;
    for (uint code : codes) {
        if (QChar::requiresSurrogates(code)) {
            text += QChar(QChar::highSurrogate(code));
            text += QChar(QChar::lowSurrogate(code));
        } else {
            text += QChar(ushort(code));
        }
    }
    return text;
}

// Letters with several case variants, surrogate halves and pairs with and
// without a case fold, as the random texts are made of.
const QVector<ushort> alphabet
    = { 'a', 'A', 'k', 'K', 's', 'S', 'b', ' ', 0x212A, 0x017F, 0x03C2, 0x03C3, 0x03A3, 0x00DF, 0x1E9E,
          0x0130, 0x0131, 'i', 'I', 0x0430, 0x0410, 0x3042, 0xD801, 0xDC00, 0xDC28, 0xD83D, 0xDE00 };
const QVector<uint> pairs = { 0x10400, 0x10428, 0x10408, 0x10430, 0x1F600, 0x1E900, 0x1E922 };

}  // namespace

class TestTextMatcher : public QObject
{
    Q_OBJECT

private slots:
    void sameAsQt_data();
    void sameAsQt();
    void singleUnitsFoldAsInQt_data();
    void singleUnitsFoldAsInQt();
    void randomTextsSameAsQt();
    void piecesFindWhatTheWholeFinds_data();
    void piecesFindWhatTheWholeFinds();
};

void TestTextMatcher::sameAsQt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    // Qt's verdict with the case ignored, written down so that a change of
    // Qt's rules shows here first.
    QTest::addColumn<bool>("foundIgnoringCase");

    const QString longText = QString(600, QLatin1Char('.'));
    QTest::newRow("ascii") << "the quick brown fox"
                           << "Brown" << true;
    QTest::newRow("absent") << "the quick brown fox"
                            << "fax" << false;
    QTest::newRow("needle longer than text") << "ab"
                                             << "abc" << false;
    QTest::newRow("japanese") << QStringLiteral("メモ\u3000日本語のテキスト") << QStringLiteral("本語")
                              << true;
    QTest::newRow("kelvin sign for k") << units({ 'x', 0x212A, 'b' }) << "kb" << true;
    QTest::newRow("k for kelvin sign, one unit") << "xkb" << units({ 0x212A }) << true;
    QTest::newRow("long s for S") << units({ 'x', 0x017F, 'b' }) << "Sb" << true;
    QTest::newRow("final sigma for capital sigma")
        << units({ 0x03BB, 0x03C2, '!' }) << units({ 0x03A3, '!' }) << true;
    QTest::newRow("sharp s and capital sharp s") << units({ 'x', 0x00DF }) << units({ 0x1E9E }) << true;
    QTest::newRow("sharp s is not ss") << units({ 'x', 0x00DF }) << "ss" << false;
    QTest::newRow("dotted capital I is not i") << units({ 'x', 0x0130, 'b' }) << "ib" << false;
    QTest::newRow("dotless i is not I") << units({ 'x', 0x0131, 'b' }) << "Ib" << false;
    QTest::newRow("micro sign and mu") << units({ 0x00B5, 'm' }) << units({ 0x039C, 'M' }) << true;
    QTest::newRow("pair folded whole") << units({ 'x', 0x10400, 'y' }) << units({ 0x10428 }) << true;
    QTest::newRow("pair folded whole, long text") << longText + units({ 'x', 0x10400, 'y', 'z', 'w' })
                                                  << units({ 'x', 0x10428, 'y', 'z', 'w' }) << true;
    QTest::newRow("pair is not its low half folded")
        << units({ 'x', 0x10408, 'y' }) << units({ 'x', 0xD801, 0x0430 }) << false;
    QTest::newRow("high surrogate alone matches a pair")
        << units({ 'x', 0x10400 }) << units({ 0xD801 }) << true;
    QTest::newRow("needle ends between the halves")
        << units({ 'x', 0x10400, 'b' }) << units({ 'x', 0xD801 }) << true;
    QTest::newRow("one low surrogate matches a pair's half")
        << units({ 'x', 0x10400, 'b' }) << units({ 0xDC00 }) << true;
    QTest::newRow("one low surrogate is not folded")
        << units({ 'x', 0x10400, 'b' }) << units({ 0xDC28 }) << false;
    QTest::newRow("low surrogate first, short text")
        << units({ 'x', 0x10400, 'b' }) << units({ 0xDC00, 'b' }) << false;
    QTest::newRow("low surrogate first, uncased pair")
        << units({ 'x', 0x1F600, 'b' }) << units({ 0xDE00, 'b' }) << false;
    QTest::newRow("low surrogate first, long text")
        << longText + units({ 'x', 0x10400, 'b', 'c', 'd', 'e', 'f' })
        << units({ 0xDC00, 'b', 'c', 'd', 'e', 'f' }) << false;
    QTest::newRow("lone low surrogate in the text")
        << units({ 'x', 0xDC00, 'b' }) << units({ 0xDC00, 'b' }) << true;
    QTest::newRow("lone high surrogate in the text")
        << units({ 'x', 0xD801, 'b' }) << units({ 0xD801, 'B' }) << true;
    // Qt's hashed search loses the first unit's fold once the needle is
    // long enough to shift it out of the hash: then the half matches.
    const QString tail = QString(70, QLatin1Char('t'));
    QTest::newRow("low surrogate first, long needle")
        << units({ 'x', 0x10400 }) + tail << units({ 0xDC00 }) + tail << true;
    QTest::newRow("low surrogate first, long needle, uncased pair")
        << units({ 'x', 0x1F600 }) + tail << units({ 0xDE00 }) + tail << true;
    QTest::newRow("low surrogate first, long needle, long text")
        << longText + units({ 'x', 0x10400 }) + tail << units({ 0xDC00 }) + tail << false;
    const QString block = QString(300, QLatin1Char('q')) + units({ 0x10400 }) + QStringLiteral("end");
    QTest::newRow("needle over 255 units") << longText + block << block.toUpper() << true;
}

void TestTextMatcher::sameAsQt()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(bool, foundIgnoringCase);
    QCOMPARE(text.indexOf(needle, 0, Qt::CaseInsensitive) >= 0, foundIgnoringCase);
    for (const Qt::CaseSensitivity mode : { Qt::CaseSensitive, Qt::CaseInsensitive }) {
        const TextMatcher matcher(needle, mode);
        QCOMPARE(matcher.indexIn(text), text.indexOf(needle, 0, mode));
        QCOMPARE(matcher.matches(text), text.indexOf(needle, 0, mode) >= 0);
    }
}

void TestTextMatcher::singleUnitsFoldAsInQt_data()
{
    QTest::addColumn<QString>("needle");
    for (const uint code : { 0x0061u, 0x004Bu, 0x0073u, 0x0069u, 0x0049u, 0x00B5u, 0x00E5u, 0x00DFu, 0x03C3u,
             0x03B8u, 0x03B9u, 0x0432u, 0x1E9Eu, 0x212Au, 0x2126u, 0xFF21u, 0x3042u, 0xD801u, 0xDC00u }) {
        const QString unit = QString(QChar(ushort(code)));
        QTest::addRow("U+%04X", code) << unit;
        QTest::addRow("U+%04X then x", code) << unit + QLatin1Char('x');
    }
}

// Every code unit of the BMP as a text against a needle of the letters
// with the most case variants: the matcher's fold table is Qt's.
void TestTextMatcher::singleUnitsFoldAsInQt()
{
    QFETCH(QString, needle);
    const TextMatcher matcher(needle, Qt::CaseInsensitive);
    int mismatches = 0;
    int found = 0;
    for (uint code = 0; code < 0x10000; ++code) {
        QString text = QString(QChar(ushort(code)));
        if (needle.size() > 1)
            text += QLatin1Char('X');
        const bool qt = text.indexOf(needle, 0, Qt::CaseInsensitive) >= 0;
        found += qt;
        if (matcher.matches(text) != qt && ++mismatches <= 5)
            qWarning("differs from Qt at U+%04X", code);
    }
    QCOMPARE(mismatches, 0);
    QVERIFY(found >= 1);
}

void TestTextMatcher::randomTextsSameAsQt()
{
    QRandomGenerator random(20261208);
    auto randomText = [&](int length) {
        QString text;
        while (text.size() < length) {
            if (random.bounded(4) == 0) {
                const uint code = pairs.at(int(random.bounded(pairs.size())));
                text += QChar(QChar::highSurrogate(code));
                text += QChar(QChar::lowSurrogate(code));
            } else {
                text += QChar(alphabet.at(int(random.bounded(alphabet.size()))));
            }
        }
        return text.left(length);
    };
    int mismatches = 0;
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        // Texts on both sides of 500 units and needles on both sides of 5
        // and of 255: Qt searches each way differently.
        const int textLength = random.bounded(3) ? int(random.bounded(40)) : 480 + int(random.bounded(60));
        const int needleLength = 1
            + int(random.bounded(random.bounded(10) ? 8
                    : random.bounded(2)             ? 80
                                                    : 300));
        const QString text = randomText(textLength);
        QString needle;
        if (random.bounded(2) && textLength > needleLength) {
            // Mostly a piece of the text in another case.
            needle = text.mid(int(random.bounded(textLength - needleLength)), needleLength);
            for (int i = 0; i < needle.size(); ++i) {
                if (random.bounded(4) == 0)
                    needle[i] = QChar(alphabet.at(int(random.bounded(alphabet.size()))));
                else if (random.bounded(3) == 0)
                    needle[i] = needle.at(i).toUpper();
            }
        } else {
            needle = randomText(needleLength);
        }
        for (const Qt::CaseSensitivity mode : { Qt::CaseSensitive, Qt::CaseInsensitive }) {
            const int qt = int(text.indexOf(needle, 0, mode));
            found += qt >= 0;
            if (TextMatcher(needle, mode).indexIn(text) != qt && ++mismatches <= 5)
                qWarning() << "differs from Qt:" << mode << text.size() << needle.toUcs4();
        }
    }
    QCOMPARE(mismatches, 0);
    QVERIFY2(found > 2000, "too few texts hold their needle to test the matches");
}

void TestTextMatcher::piecesFindWhatTheWholeFinds_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("pieceLength");
    const QString filler = QString(1000, QLatin1Char('k'));
    QTest::newRow("match across a piece's end") << filler + "Needle" + filler << "needle" << 998;
    QTest::newRow("match at a piece's start") << filler + "Needle" + filler << "needle" << 500;
    QTest::newRow("match at the very end") << filler + "Needle"
                                           << "needle" << 7;
    QTest::newRow("pair across a piece's end")
        << filler + units({ 0x10400, 'x' }) << units({ 0x10428, 'X' }) << 1001;
    QTest::newRow("no match") << filler + "Needl"
                              << "needle" << 3;
    QTest::newRow("one-unit needle") << QString(1000, QLatin1Char('.')) + units({ 0x212A }) << "K" << 16;
}

void TestTextMatcher::piecesFindWhatTheWholeFinds()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(int, pieceLength);
    const TextMatcher matcher(needle, Qt::CaseInsensitive);
    const int whole = matcher.indexIn(text);
    QCOMPARE(whole, int(text.indexOf(needle, 0, Qt::CaseInsensitive)));
    int first = -1;
    for (int from = 0; from < text.size() && first < 0; from += pieceLength)
        first = matcher.indexIn(text, from, from + pieceLength);
    QCOMPARE(first, whole);
    if (whole >= 0) {
        // A piece finds only the starts within it.
        QCOMPARE(matcher.indexIn(text, whole + 1), -1);
        QCOMPARE(matcher.indexIn(text, 0, whole), -1);
        QCOMPARE(matcher.indexIn(text, whole, whole + 1), whole);
    }
}

QTEST_APPLESS_MAIN(TestTextMatcher)
#include "tst_textmatcher.moc"

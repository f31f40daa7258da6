#include "popup/historycapture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QtTest>

namespace {
QString windowsFormat(const char *name)
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QLatin1String(name));
}

const QByteArray zero32(4, '\0');

// What a watcher of this process's clipboard reports now.
ClipboardSnapshot clipboardNow()
{
    return ClipboardSnapshot::fromMimeData(QGuiApplication::clipboard()->mimeData());
}
const QByteArray one32("\x01\x00\x00\x00", 4);
}  // namespace

class TstHistoryCapture : public QObject
{
    Q_OBJECT

private:
    // Puts data on the clipboard the way a copying program does. The data
    // is described by its kind: "text", "image", "image+text", "colour",
    // "colour+text" or "none".
    static void putOnClipboard(const QString &kind, const QString &text)
    {
        auto *data = new QMimeData;
        if (kind.contains("text"))
            data->setText(text);
        if (kind.startsWith("image")) {
            QImage image(4, 4, QImage::Format_RGB32);
            image.fill(Qt::red);
            data->setImageData(image);
        }
        if (kind.startsWith("colour"))
            data->setColorData(QColor(Qt::blue));
        QGuiApplication::clipboard()->setMimeData(data);
    }

private slots:
    void clipboardCarriesCustomFormats()
    {
        auto *data = new QMimeData;
        data->setText("pw");
        data->setData(windowsFormat("Clipboard Viewer Ignore"), QByteArray());
        data->setData("x-kde-passwordManagerHint", "secret");
        QGuiApplication::clipboard()->setMimeData(data);
        const QMimeData *seen = QGuiApplication::clipboard()->mimeData();
        QVERIFY(seen->formats().contains(windowsFormat("Clipboard Viewer Ignore")));
        QCOMPARE(seen->data("x-kde-passwordManagerHint"), QByteArray("secret"));
    }

    void capture_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("histmax");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QStringList>("expected");
        const QStringList three { "c", "b", "a" };
        QTest::newRow("untrimmed to the head")
            << three << "text"
            << "  abc  " << 500 << true << QStringList { "  abc  ", "c", "b", "a" };
        QTest::newRow("blank") << three << "text"
                               << " \t\r\n　" << 500 << false << three;
        QTest::newRow("empty") << three << "text"
                               << "" << 500 << false << three;
        QTest::newRow("no text") << three << "none"
                                 << "" << 500 << false << three;
        QTest::newRow("image") << three << "image"
                               << "" << 500 << false << three;
        QTest::newRow("image with text") << three << "image+text"
                                         << "x" << 500 << false << three;
        QTest::newRow("colour") << three << "colour"
                                << "" << 500 << false << three;
        QTest::newRow("colour with text") << three << "colour+text"
                                          << "x" << 500 << false << three;
        QTest::newRow("third entry moves to the head") << three << "text"
                                                       << "a" << 3 << true << QStringList { "a", "c", "b" };
        QTest::newRow("duplicates are case-sensitive")
            << QStringList { "ABC" } << "text"
            << "abc" << 500 << true << QStringList { "abc", "ABC" };
        QTest::newRow("histmax 3 drops the oldest") << three << "text"
                                                    << "d" << 3 << true << QStringList { "d", "c", "b" };
        QTest::newRow("histmax 0, empty list") << QStringList() << "text"
                                               << "x" << 0 << true << QStringList();
        QTest::newRow("histmax 0, one entry") << QStringList { "old" } << "text"
                                              << "x" << 0 << true << QStringList { "x" };
        QTest::newRow("negative histmax") << QStringList() << "text"
                                          << "x" << -3 << true << QStringList();
        QTest::newRow("line breaks kept") << QStringList() << "text"
                                          << "a\r\n\tb\n"
                                          << 500 << true << QStringList { "a\r\n\tb\n" };
    }
    void uniqueHistory_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("histmax");
        QTest::newRow("new text") << QStringList { "c", "b", "a" } << "d" << 500;
        QTest::newRow("copy of the newest") << QStringList { "c", "b", "a" } << "c" << 500;
        QTest::newRow("copy of the oldest") << QStringList { "c", "b", "a" } << "a" << 500;
        QTest::newRow("copy in a full list") << QStringList { "c", "b", "a" } << "b" << 3;
        QTest::newRow("same length, other text") << QStringList { "abc", "abd" } << "abe" << 500;
        QTest::newRow("prefix of an entry") << QStringList { "abcdef" } << "abc" << 500;
        QTest::newRow("full list, new text") << QStringList { "c", "b", "a" } << "d" << 3;
    }
    void uniqueHistory()
    {
        // A history known to hold no duplicates looks for the one copy of the
        // new text only; the result is the full removal's.
        QFETCH(QStringList, history);
        QFETCH(QString, text);
        QFETCH(int, histmax);
        ClipboardSnapshot snapshot;
        snapshot.text = text;
        QStringList reference = history;
        reference.insert(0, text);
        reference.removeDuplicates();
        if (histmax < reference.size())
            reference.removeLast();
        bool unique = true;
        QVERIFY(HistoryCapture::capture(history, snapshot, histmax, &unique));
        QCOMPARE(history, reference);
        QVERIFY(unique);
    }
    void loadedDuplicatesGoAtFirstCapture_data()
    {
        QTest::addColumn<QStringList>("history");
        QTest::addColumn<QString>("text");
        const QString middle = QString(100, QLatin1Char('x'));
        QTest::newRow("plain copies") << QStringList { "a", "b", "a", "c", "b" } << "c";
        QTest::newRow("same ends, other middle") << QStringList { "begin" + middle + "1" + middle + "end",
            "begin" + middle + "2" + middle + "end", "begin" + middle + "1" + middle + "end" }
                                                 << "new";
        QTest::newRow("same length, other ends") << QStringList { "abc", "abd", "xbc", "abc" } << "abd";
        QTest::newRow("huge copies") << QStringList { QString(300000, 'q'), "small", QString(300000, 'q') }
                                     << QString(300000, 'q');
        QTest::newRow("case differs") << QStringList { "ABC", "abc", "Abc", "abc" } << "aBc";
        QTest::newRow("no copies") << QStringList { "one", "two" } << "three";
    }
    void loadedDuplicatesGoAtFirstCapture()
    {
        // The clip list file may hold duplicates; the first capture removes
        // them all, the first copy staying, as the toolkit's removal does.
        QFETCH(QStringList, history);
        QFETCH(QString, text);
        QStringList reference = history;
        reference.insert(0, text);
        reference.removeDuplicates();
        bool unique = false;
        ClipboardSnapshot snapshot;
        snapshot.text = text;
        QVERIFY(HistoryCapture::capture(history, snapshot, 500, &unique));
        QCOMPARE(history, reference);
        QVERIFY(unique);
    }

    void loneSurrogates_data()
    {
        // Texts long enough that the search for surrogates goes block by
        // block; halves placed at and around the block edges.
        QTest::addColumn<QString>("text");
        const QString base(200, QLatin1Char('a'));
        const QChar high(0xD83D), low(0xDE00);
        auto with = [&](QVector<QPair<int, QChar>> units) {
            QString text = base;
            for (const auto &unit : units)
                text[unit.first] = unit.second;
            return text;
        };
        QTest::newRow("none") << base;
        QTest::newRow("lone high first") << with({ { 0, high } });
        QTest::newRow("lone low at 63") << with({ { 63, low } });
        QTest::newRow("lone high at 64") << with({ { 64, high } });
        QTest::newRow("pair across the block edge") << with({ { 63, high }, { 64, low } });
        QTest::newRow("pair, then a lone low") << with({ { 10, high }, { 11, low }, { 130, low } });
        QTest::newRow("lone high last") << with({ { 199, high } });
        QTest::newRow("high high low") << with({ { 127, high }, { 128, high }, { 129, low } });
        QTest::newRow("short, lone") << QString(QChar(0xDC00));
    }
    void loneSurrogates()
    {
        // Each half without its partner becomes U+FFFD; pairs stay.
        QFETCH(QString, text);
        QString expected = text;
        for (int i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (text.at(i).isSurrogate())
                expected[i] = QChar::ReplacementCharacter;
        }
        QStringList history;
        ClipboardSnapshot snapshot;
        snapshot.text = text;
        QVERIFY(HistoryCapture::capture(history, snapshot, 500));
        QCOMPARE(history, QStringList { expected });
        QCOMPARE(QString::fromUtf8(history.first().toUtf8()), expected);
    }

    void capture()
    {
        QFETCH(QStringList, history);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(int, histmax);
        QFETCH(bool, taken);
        QFETCH(QStringList, expected);
        putOnClipboard(kind, text);
        QCOMPARE(HistoryCapture::capture(history, clipboardNow(), histmax), taken);
        QCOMPARE(history, expected);
    }

    void secret_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("secret");
        const char *exclude = "ExcludeClipboardContentFromMonitorProcessing";
        QTest::newRow("exclude, 1") << windowsFormat(exclude) << QByteArray("1") << true;
        QTest::newRow("exclude, zero") << windowsFormat(exclude) << zero32 << true;
        QTest::newRow("exclude, empty") << windowsFormat(exclude) << QByteArray() << true;
        QTest::newRow("exclude, bare name") << QString(exclude) << QByteArray("1") << true;
        QTest::newRow("viewer ignore") << windowsFormat("Clipboard Viewer Ignore") << QByteArray() << true;
        QTest::newRow("history, zero") << windowsFormat("CanIncludeInClipboardHistory") << zero32 << true;
        QTest::newRow("history, one") << windowsFormat("CanIncludeInClipboardHistory") << one32 << false;
        QTest::newRow("history, short")
            << windowsFormat("CanIncludeInClipboardHistory") << QByteArray(2, '\0') << false;
        QTest::newRow("cloud, zero") << windowsFormat("CanUploadToCloudClipboard") << zero32 << true;
        QTest::newRow("cloud, one") << windowsFormat("CanUploadToCloudClipboard") << one32 << false;
        QTest::newRow("kde hint") << "x-kde-passwordManagerHint" << QByteArray("secret") << true;
        QTest::newRow("kde hint, empty") << "x-kde-passwordManagerHint" << QByteArray() << false;
        QTest::newRow("other format") << windowsFormat("Rich Text Format") << zero32 << false;
    }
    void secret()
    {
        QFETCH(QString, format);
        QFETCH(QByteArray, value);
        QFETCH(bool, secret);

        QMimeData data;
        data.setText("hunter2");
        data.setData(format, value);
        QCOMPARE(HistoryCapture::isSecret(ClipboardSnapshot::fromMimeData(&data)), secret);

        auto *onClipboard = new QMimeData;
        onClipboard->setText("hunter2");
        onClipboard->setData(format, value);
        QGuiApplication::clipboard()->setMimeData(onClipboard);
        QStringList history { "older" };
        QCOMPARE(HistoryCapture::capture(history, clipboardNow(), 500), !secret);
        QCOMPARE(history.contains("hunter2"), !secret);
    }

    void bothZeroMarkersTogether()
    {
        // One password manager sets only these two.
        QMimeData data;
        data.setText("pw");
        data.setData(windowsFormat("CanIncludeInClipboardHistory"), zero32);
        data.setData(windowsFormat("CanUploadToCloudClipboard"), zero32);
        QVERIFY(HistoryCapture::isSecret(ClipboardSnapshot::fromMimeData(&data)));
    }
};

QTEST_MAIN(TstHistoryCapture)
#include "tst_historycapture.moc"

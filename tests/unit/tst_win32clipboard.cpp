// The Windows clipboard watcher against the real system (run under Wine in
// CI): what it reports is what Qt on Windows shows for the same content; a
// burst is read newest last; the program's own copy comes back; an owner
// that never answers is skipped without the clipboard being held; an owner
// that stalls while rendering is given up after the deadline, the clipboard
// is free again at once and a fresh reader takes the next copy; quitting
// never waits long.
#include "background/workerthread.h"
#include "platform/clipboardsnapshot.h"
#include "windowsclipboarddata.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_WIN
#include "platform/win32clipboardreader.h"
#include "platform/win32clipboardwatcher.h"

#include <qt_windows.h>
#endif

namespace {
// One format to put on the clipboard: a number ("13") or a registered name,
// or "bitmap" for a bitmap handle.
struct Item
{
    QString format;
    QByteArray data;
};
using Items = QVector<Item>;

QByteArray utf16z(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), (text.size() + 1) * 2);
}

QByteArray dib()
{
    // A 1 by 1, 32-bit device-independent bitmap: a 40-byte header, then
    // one pixel.
    QByteArray bytes(44, '\0');
    const quint32 header[] = { 40, 1, 1 };
    memcpy(bytes.data(), header, sizeof(header));
    const quint16 planesAndBits[] = { 1, 32 };
    memcpy(bytes.data() + 12, planesAndBits, sizeof(planesAndBits));
    return bytes;
}

#ifdef Q_OS_WIN
UINT formatNumber(const QString &format)
{
    bool numeric = false;
    const UINT id = format.toUInt(&numeric);
    return numeric ? id : RegisterClipboardFormatW(reinterpret_cast<const wchar_t *>(format.utf16()));
}

HGLOBAL globalCopy(const QByteArray &data)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, qMax(1, data.size()));
    void *bytes = GlobalLock(memory);
    memcpy(bytes, data.constData(), size_t(data.size()));
    GlobalUnlock(memory);
    return memory;
}

// Puts `items` on the clipboard as a copying program does, owned by `owner`:
// when somebody else has the clipboard open for a moment, it tries again.
bool putOnClipboard(HWND owner, const Items &items)
{
    int attempts = 0;
    while (!OpenClipboard(owner)) {
        if (++attempts == 100)
            return false;
        QThread::msleep(10);
    }
    EmptyClipboard();
    for (const Item &item : items) {
        if (item.format == QLatin1String("bitmap"))
            SetClipboardData(CF_BITMAP, CreateBitmap(1, 1, 1, 32, nullptr));
        else
            SetClipboardData(formatNumber(item.format), globalCopy(item.data));
    }
    CloseClipboard();
    return true;
}

// Another program on the clipboard, on a thread of its own. Each kind takes
// the clipboard in its own way:
// - Hang: text to be rendered on request (delayed rendering), then it
//   answers nothing at all until released; released, it renders nothing;
// - Stall: the same, but it answers everything except the request to
//   render, which it holds until released and then leaves unrendered;
// - Busy: the same, but it only answers nothing for a moment (1.5 s), then
//   renders "busy owner text" as asked;
// - QuickExit: real text ("quick exit text"), then it finishes its work
//   for a moment and ends, without answering anything in between.
class OtherOwner : public QObject
{
public:
    enum Kind { Hang, Stall, Busy, QuickExit };

    OtherOwner(HANDLE release, Kind kind)
        : release(release)
        , kind(kind)
    { }
    ~OtherOwner() override
    {
        if (window)
            DestroyWindow(window);
    }

    // On the owner's thread: takes the clipboard, and for a hung, busy or
    // ending owner goes on not answering.
    void take()
    {
        WNDCLASSW windowClass {};
        windowClass.lpfnWndProc = &OtherOwner::windowProc;
        windowClass.lpszClassName = L"QuilletTestOtherOwner";
        RegisterClassW(&windowClass);
        window = CreateWindowW(
            L"QuilletTestOtherOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!window || !OpenClipboard(window))
            return;
        EmptyClipboard();
        if (kind == QuickExit)
            SetClipboardData(CF_UNICODETEXT, globalCopy(utf16z(QStringLiteral("quick exit text"))));
        else
            SetClipboardData(CF_UNICODETEXT, nullptr);
        // From here on a hung or busy owner answers nothing, not even while
        // the system lets it handle messages inside CloseClipboard.
        silent = kind == Hang || kind == Busy;
        CloseClipboard();
        if (kind == QuickExit) {
            QThread::msleep(300);
            DestroyWindow(window);
            window = nullptr;
        } else if (silent) {
            keepSilent();
        }
    }

    HWND window = nullptr;

private:
    void keepSilent()
    {
        if (kind == Busy)
            QThread::msleep(1500);
        else
            WaitForSingleObject(release, 30000);
        silent = false;
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *owner = reinterpret_cast<OtherOwner *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!owner)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        if (owner->silent)
            owner->keepSilent();
        if (message == WM_RENDERFORMAT) {
            if (owner->kind == Stall)
                WaitForSingleObject(owner->release, 30000);
            if (owner->kind == Busy)
                SetClipboardData(CF_UNICODETEXT, globalCopy(utf16z(QStringLiteral("busy owner text"))));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HANDLE release;
    Kind kind;
    bool silent = false;
};
#endif
}  // namespace

Q_DECLARE_METATYPE(Item)

class TestWin32Clipboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void snapshotMatchesQt_data();
    void snapshotMatchesQt();
    void burstReadNewestLast();
    void copyWhileStartingIsTaken();
    void ownCopyComesBack();
    void ownCopyLeavesTheClipboardFree();
    void ownerThatNeverAnswersIsSkipped();
    void ownerBusyForAMomentIsRead();
    void ownerThatEndsRightAwayIsRead();
    void stalledRenderingIsGivenUp();
    void quitWhileReadStalls();
    void quitWhenIdleIsQuick();

private:
    bool seenText(const QString &text) const;
    // Starts another owner of the given kind (OtherOwner::Kind) on a thread
    // of its own; it owns the clipboard when this returns.
    bool startOtherOwner(int kind);
    void endOtherOwner();

    QVector<ClipboardSnapshot> seen;
#ifdef Q_OS_WIN
    Win32ClipboardWatcher *watcher = nullptr;
    HWND owner = nullptr;
    HANDLE release = nullptr;
    WorkerThread *otherOwnerThread = nullptr;
#endif
};

void TestWin32Clipboard::initTestCase()
{
#ifndef Q_OS_WIN
    QSKIP("the Win32 clipboard watcher exists on Windows only");
#else
    owner = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    QVERIFY(owner);
#endif
}

void TestWin32Clipboard::cleanupTestCase()
{
#ifdef Q_OS_WIN
    if (owner)
        DestroyWindow(owner);
#endif
}

void TestWin32Clipboard::init()
{
    seen.clear();
#ifdef Q_OS_WIN
    watcher = new Win32ClipboardWatcher;
    connect(
        watcher, &ClipboardWatcher::changed, this, [this](const ClipboardSnapshot &s) { seen.append(s); });
    // The reader starts listening on its own thread.
    QTest::qWait(200);
#endif
}

void TestWin32Clipboard::cleanup()
{
#ifdef Q_OS_WIN
    delete watcher;
    watcher = nullptr;
    endOtherOwner();
#endif
}

bool TestWin32Clipboard::seenText(const QString &text) const
{
    for (const ClipboardSnapshot &snapshot : seen) {
        if (snapshot.text == text)
            return true;
    }
    return false;
}

bool TestWin32Clipboard::startOtherOwner(int kind)
{
#ifdef Q_OS_WIN
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto *other = new OtherOwner(release, OtherOwner::Kind(kind));
    otherOwnerThread = new WorkerThread(other, QStringLiteral("test clipboard owner"));
    const quint32 before = GetClipboardSequenceNumber();
    QMetaObject::invokeMethod(
        other, [other] { other->take(); }, Qt::QueuedConnection);
    // Taken once the clipboard has a new content of that owner's making.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        wchar_t name[64] = {};
        HWND current = GetClipboardOwner();
        if (GetClipboardSequenceNumber() != before && current && GetClassNameW(current, name, 64)
            && QString::fromWCharArray(name) == QLatin1String("QuilletTestOtherOwner"))
            return true;
        QThread::msleep(5);
    }
    return false;
#else
    Q_UNUSED(kind);
    return false;
#endif
}

void TestWin32Clipboard::endOtherOwner()
{
#ifdef Q_OS_WIN
    if (release)
        SetEvent(release);
    delete otherOwnerThread;
    otherOwnerThread = nullptr;
    if (release)
        CloseHandle(release);
    release = nullptr;
#endif
}

void TestWin32Clipboard::snapshotMatchesQt_data()
{
    using windowsdata::fileDrop;
    QTest::addColumn<Items>("items");
    // Whether Qt shows a text: a content that failed to reach the clipboard
    // would compare equal too.
    QTest::addColumn<bool>("withText");
    const QByteArray zero32(4, '\0');
    QTest::newRow("text crlf") << Items { { "13", utf16z("hello\r\nworld\r\n") } } << true;
    QTest::newRow("ansi text") << Items { { "1", QByteArray("plain ansi", 11) } } << true;
    QTest::newRow("japanese") << Items { { "13", utf16z(QStringLiteral("二番目 テキスト")) } } << true;
    QTest::newRow("embedded nul") << Items { { "13", utf16z(QStringLiteral("abc") + QChar(0) + "def") } }
                                  << true;
    QTest::newRow("html") << Items { { "13", utf16z("h") },
        { "HTML Format", QByteArray("Version:0.9\r\n", 14) } }
                          << true;
    QTest::newRow("markers") << Items { { "13", utf16z("secret") },
        { "ExcludeClipboardContentFromMonitorProcessing", QByteArray(1, '\1') },
        { "Clipboard Viewer Ignore", QByteArray(1, '\1') }, { "CanIncludeInClipboardHistory", zero32 },
        { "CanUploadToCloudClipboard", zero32 } }
                             << true;
    QTest::newRow("dib") << Items { { "13", utf16z("with dib") }, { "8", dib() } } << true;
    QTest::newRow("bitmap") << Items { { "13", utf16z("with bitmap") }, { "bitmap", QByteArray() } } << true;
    QTest::newRow("png") << Items { { "13", utf16z("with png") }, { "PNG", "x" } } << true;
    QTest::newRow("image/png") << Items { { "13", utf16z("with image/png") }, { "image/png", "x" } } << true;
    QTest::newRow("colour") << Items { { "13", utf16z("with colour") },
        { "application/x-color", QByteArray("\xff\xff\0\0\0\0\xff\xff", 8) } }
                            << true;
    QTest::newRow("custom") << Items { { "13", utf16z("custom") }, { "text/foo", "x" },
        { "application/x-thing", "x" }, { "My Custom Format", "x" } }
                            << true;
    QTest::newRow("urls") << Items { { "13", utf16z("http://a/") },
        { "UniformResourceLocatorW", utf16z("http://a/") }, { "UniformResourceLocator", "http://a/" } }
                          << true;
    QTest::newRow("empty") << Items {} << false;
    // Without CF_UNICODETEXT of the copying program's own.
    QTest::newRow("ansi only") << Items { { "1", QByteArray("ansi\r\nline\xe9\0", 13) } } << true;
    QTest::newRow("oem only") << Items { { "7", QByteArray("oem\r\ntext\x82\0", 11) } } << true;
    QTest::newRow("html only") << Items {
        { "HTML Format", QByteArray("Version:0.9\r\nStartHTML:0\r\n<b>x</b>", 37) }
    } << false;
    QTest::newRow("rtf only") << Items { { "Rich Text Format", QByteArray("{\\rtf1 x}", 9) } } << false;
    QTest::newRow("text/foo only") << Items { { "text/foo", "foo" } } << false;
    QTest::newRow("one file") << Items { { "15", fileDrop({ "C:\\Users\\me\\report.txt" }) } } << true;
    QTest::newRow("files") << Items { { "15",
        fileDrop({ QStringLiteral("C:\\My Files\\naïve café.txt"), QStringLiteral("C:\\日本語\\テスト 1.txt"),
            "\\\\server\\share\\x y.doc", "D:\\" }) } }
                           << true;
    QTest::newRow("file name a URL encodes")
        << Items { { "15", fileDrop({ "C:\\a#b%20c&d[e]{f}^g`h~i;j=k+l,m@n!o'p.txt" }) } } << true;
    QTest::newRow("odd paths") << Items {
        { "15", fileDrop({ "\\\\?\\C:\\long", "rel\\x.txt", "C:/fwd/slash/", "C:", "x" }) }
    } << true;
    QTest::newRow("ansi files") << Items { { "15", fileDrop({ "C:\\a b\\one.txt", "C:\\two.txt" }, false) } }
                                << true;
    QTest::newRow("no files") << Items { { "15", fileDrop({}) } } << false;
    QTest::newRow("file and text") << Items { { "15", fileDrop({ "C:\\f.txt" }) },
        { "13", utf16z("given text") } }
                                   << true;
    QTest::newRow("link") << Items {
        { "UniformResourceLocatorW", utf16z(QStringLiteral("HTTP://Example.com/a b/ü?q=ü&r=%41#frag")) }
    } << true;
    QTest::newRow("ansi link") << Items {
        { "UniformResourceLocator", QByteArray("http://example.com/x y\0", 23) }
    } << true;
    QTest::newRow("link mended") << Items { { "UniformResourceLocatorW", utf16z("www.example.com/a b%zz") } }
                                 << true;
    QTest::newRow("invalid link") << Items {
        { "UniformResourceLocatorW", utf16z("http://exa mple.com:99999/") }
    } << false;
    QTest::newRow("empty link") << Items { { "UniformResourceLocatorW", QByteArray(2, '\0') } } << false;
    QTest::newRow("uri list") << Items {
        { "text/uri-list", QByteArray("\r\n  http://a/%C3%BC  \n\n#c\nrel x\0", 32) }
    } << true;
    QTest::newRow("uri list of one") << Items { { "text/uri-list", "http://one/" } } << true;
    QTest::newRow("html and link") << Items { { "HTML Format", "Version:0.9" },
        { "UniformResourceLocatorW", utf16z("http://h/") } }
                                   << true;
    QTest::newRow("file and link") << Items { { "15", fileDrop({ "C:\\f.txt" }) },
        { "UniformResourceLocatorW", utf16z("http://u/") } }
                                   << true;
    QTest::newRow("file and uri list")
        << Items { { "text/uri-list", "http://l/" }, { "15", fileDrop({ "C:\\f.txt" }) } } << true;
    QTest::newRow("wide and ansi link")
        << Items { { "UniformResourceLocator", QByteArray("http://a/\0", 10) },
               { "UniformResourceLocatorW", utf16z("http://w/") } }
        << true;
    QTest::newRow("link and uri list") << Items { { "UniformResourceLocator", QByteArray("http://a/\0", 10) },
        { "text/uri-list", "http://l/" } }
                                       << true;
    QTest::newRow("plain") << Items { { "text/plain", "raw plain \xc3\xa9" } } << true;
    QTest::newRow("utf-8 plain") << Items { { "text/plain;charset=utf-8", "raw utf8 \xc3\xa9" } } << true;
    QTest::newRow("utf-8 and plain") << Items { { "text/plain;charset=utf-8", "A8" }, { "text/plain", "Bp" } }
                                     << true;
    QTest::newRow("plain and file") << Items { { "15", fileDrop({ "C:\\f.txt" }) }, { "text/plain", "Bp" } }
                                    << true;
    QTest::newRow("nul plain and file")
        << Items { { "15", fileDrop({ "C:\\f.txt" }) }, { "text/plain", QByteArray(1, '\0') } } << true;
    QTest::newRow("plain with bom") << Items { { "text/plain",
        "\xef\xbb\xbf"
        "bom" } } << true;
    QTest::newRow("plain not utf-8") << Items { { "text/plain", "\xff\xfe a \xc3" } } << true;
    QTest::newRow("plain as it is") << Items { { "text/plain", QByteArray("a\r\nb\0", 5) } } << true;
    QTest::newRow("unicode and utf-8")
        << Items { { "text/plain;charset=utf-8", "u8" }, { "13", utf16z("uni") } } << true;
    QTest::newRow("text/html only") << Items { { "text/html", "<b>h</b>" } } << false;
}

void TestWin32Clipboard::snapshotMatchesQt()
{
#ifdef Q_OS_WIN
    QFETCH(Items, items);
    QFETCH(bool, withText);
    QVERIFY(putOnClipboard(owner, items));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 15000);
    const ClipboardSnapshot ours = seen.first();
    // Qt reads through OLE, which fails while another thread holds the
    // clipboard open for a moment.
    QTRY_VERIFY(GetOpenClipboardWindow() == nullptr);
    const ClipboardSnapshot qt = ClipboardSnapshot::fromMimeData(QGuiApplication::clipboard()->mimeData());
    QStringList ourFormats = ours.formats;
    QStringList qtFormats = qt.formats;
    ourFormats.sort();
    qtFormats.sort();
    QCOMPARE(ourFormats, qtFormats);
    QCOMPARE(ours.hasImage, qt.hasImage);
    QCOMPARE(ours.hasColor, qt.hasColor);
    // The text of an image or a colour is not read: it never enters the
    // history anyway.
    QCOMPARE(!qt.text.isEmpty(), withText);
    if (!ours.hasImage && !ours.hasColor)
        QCOMPARE(ours.text, qt.text);
    QCOMPARE(ours.markerData, qt.markerData);
    QCOMPARE(watcher->readersStarted(), 1);
#endif
}

void TestWin32Clipboard::burstReadNewestLast()
{
#ifdef Q_OS_WIN
    const int count = 30;
    for (int i = 0; i < count; ++i)
        QVERIFY(putOnClipboard(owner, { { "13", utf16z(QStringLiteral("burst %1").arg(i)) } }));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("burst %1").arg(count - 1)), 15000);
    QTest::qWait(200);
    // Every content read is newer than the one before, and the newest is
    // the last one reported.
    int last = -1;
    for (const ClipboardSnapshot &snapshot : qAsConst(seen)) {
        QVERIFY2(snapshot.text.startsWith(QLatin1String("burst ")), qPrintable(snapshot.text));
        const int index = snapshot.text.mid(6).toInt();
        QVERIFY2(index > last, qPrintable(QStringLiteral("%1 after %2").arg(index).arg(last)));
        last = index;
    }
    QCOMPARE(last, count - 1);
    qDebug("%d changes, %d reads", count, int(seen.size()));
#endif
}

void TestWin32Clipboard::copyWhileStartingIsTaken()
{
#ifdef Q_OS_WIN
    delete watcher;
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("before the start") } }));
    watcher = new Win32ClipboardWatcher;
    connect(
        watcher, &ClipboardWatcher::changed, this, [this](const ClipboardSnapshot &s) { seen.append(s); });
    // Copied before the reader's thread can listen: no notice reaches it,
    // and the copy is taken all the same. What was there before is not.
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("while starting") } }));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("while starting")), 5000);
    QTest::qWait(200);
    QCOMPARE(seen.size(), 1);
#endif
}

void TestWin32Clipboard::ownCopyComesBack()
{
#ifdef Q_OS_WIN
    // Qt renders its own copy when asked, on this thread: the reader waits
    // for it, and a busy GUI thread only delays that copy, never loses it.
    QGuiApplication::clipboard()->setText(QStringLiteral("own copy\nsecond line"));
    QThread::msleep(Win32ClipboardWatcher::readDeadlineMs + 500);
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("own copy\nsecond line")), 15000);
    QCOMPARE(watcher->readersStarted(), 1);
#endif
}

void TestWin32Clipboard::ownCopyLeavesTheClipboardFree()
{
#ifdef Q_OS_WIN
    // The paste's keys follow the program's own copy at once, and the
    // target opens the clipboard once, without retrying: the reader must not
    // hold it open then. This thread, busy here, would also keep a read of
    // its own copy waiting for the rendering with the clipboard open.
    QGuiApplication::clipboard()->setText(QStringLiteral("own copy, pasted"));
    QElapsedTimer clock;
    clock.start();
    int opened = 0;
    int refused = 0;
    while (clock.elapsed() < 600) {
        if (OpenClipboard(nullptr)) {
            ++opened;
            CloseClipboard();
        } else {
            ++refused;
        }
        QThread::msleep(3);
    }
    QCOMPARE(refused, 0);
    QVERIFY(opened > 10);
    // The copy still comes back, from this process.
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("own copy, pasted")), 5000);
    QCOMPARE(watcher->readersStarted(), 1);
#endif
}

void TestWin32Clipboard::ownerThatNeverAnswersIsSkipped()
{
#ifdef Q_OS_WIN
    QTest::ignoreMessage(QtDebugMsg,
        "quillet: the clipboard's owner does not answer; this copy is not taken into the history.");
    QVERIFY(startOtherOwner(OtherOwner::Hang));
    // The owner is asked, a few times, and never answers: its content is
    // not read, and the clipboard is never held open meanwhile.
    const int askingMs = Win32ClipboardReader::probeAttempts
        * (Win32ClipboardReader::probeTimeoutMs + Win32ClipboardReader::probeRetryMs);
    QElapsedTimer asking;
    asking.start();
    while (asking.elapsed() < askingMs + 500) {
        QTest::qWait(100);
        QCOMPARE(GetOpenClipboardWindow(), HWND(nullptr));
    }
    QVERIFY(seen.isEmpty());
    QCOMPARE(watcher->readersStarted(), 1);
    endOtherOwner();
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("after the hung owner") } }));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("after the hung owner")), 15000);
    // The owner's window went with it, and its unrendered text with that:
    // the clipboard was empty for a moment. Nothing else was reported.
    for (const ClipboardSnapshot &snapshot : qAsConst(seen))
        QVERIFY(snapshot.text.isEmpty() || snapshot.text == QLatin1String("after the hung owner"));
#endif
}

void TestWin32Clipboard::ownerBusyForAMomentIsRead()
{
#ifdef Q_OS_WIN
    // Busy longer than one asking lasts, but not for good: asked again, it
    // answers and renders.
    QVERIFY(startOtherOwner(OtherOwner::Busy));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("busy owner text")), 15000);
    QCOMPARE(watcher->readersStarted(), 1);
#endif
}

void TestWin32Clipboard::ownerThatEndsRightAwayIsRead()
{
#ifdef Q_OS_WIN
    // A program that copies and ends: it never answers, but its window is
    // gone before the question times out, and its text is there to read.
    QVERIFY(startOtherOwner(OtherOwner::QuickExit));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("quick exit text")), 15000);
#endif
}

void TestWin32Clipboard::stalledRenderingIsGivenUp()
{
#ifdef Q_OS_WIN
    QVERIFY(startOtherOwner(OtherOwner::Stall));
    // The owner answers the question but not the request to render: the
    // read stalls with the clipboard open until the deadline.
    QTRY_VERIFY_WITH_TIMEOUT(GetOpenClipboardWindow() != nullptr, 5000);
    QElapsedTimer held;
    held.start();
    QTRY_COMPARE_WITH_TIMEOUT(watcher->readersStarted(), 2, Win32ClipboardWatcher::readDeadlineMs + 3000);
    // The stalled reader let go of the clipboard at the deadline.
    QTRY_COMPARE_WITH_TIMEOUT(GetOpenClipboardWindow(), HWND(nullptr), 500);
    QVERIFY2(held.elapsed() < Win32ClipboardWatcher::readDeadlineMs + 1500,
        qPrintable(QString::number(held.elapsed())));
    // Other programs can copy while the owner still stalls.
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("after the stalled owner") } }));
    // The fresh reader takes that copy. (Wine lets one thread of a process
    // into GetClipboardData at a time, so there the copy is read once the
    // stalled call returns; Windows reads it at once.)
    endOtherOwner();
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("after the stalled owner")), 15000);
    // Nothing came of the read that was given up.
    QTest::qWait(500);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(watcher->readersStarted(), 2);
#endif
}

void TestWin32Clipboard::quitWhileReadStalls()
{
#ifdef Q_OS_WIN
    QVERIFY(startOtherOwner(OtherOwner::Stall));
    QTRY_VERIFY_WITH_TIMEOUT(GetOpenClipboardWindow() != nullptr, 5000);
    QElapsedTimer quitting;
    quitting.start();
    delete watcher;
    watcher = nullptr;
    const qint64 quitMs = quitting.elapsed();
    QVERIFY2(quitMs < Win32ClipboardWatcher::quitTimeoutMs + 500, qPrintable(QString::number(quitMs)));
    // The stalled reader was told to let go; no read starts after the quit.
    QTRY_COMPARE_WITH_TIMEOUT(GetOpenClipboardWindow(), HWND(nullptr), 500);
    QTest::qWait(300);
    QCOMPARE(GetOpenClipboardWindow(), HWND(nullptr));
    QVERIFY(seen.isEmpty());
#endif
}

void TestWin32Clipboard::quitWhenIdleIsQuick()
{
#ifdef Q_OS_WIN
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("before quitting") } }));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("before quitting")), 15000);
    QElapsedTimer quitting;
    quitting.start();
    delete watcher;
    watcher = nullptr;
    QVERIFY2(quitting.elapsed() < 500, qPrintable(QString::number(quitting.elapsed())));
#endif
}

QTEST_MAIN(TestWin32Clipboard)
#include "tst_win32clipboard.moc"

// The Windows clipboard watcher against the real system (run under Wine in
// CI): what it reports is what Qt on Windows shows for the same content; a
// burst is read newest last; the program's own copy comes back; an owner
// that never answers is skipped without the clipboard being held; an owner
// that stalls while rendering is given up after the deadline, the clipboard
// is free again at once and a fresh reader takes the next copy; quitting
// never waits long.
#include "background/workerthread.h"
#include "platform/clipboardsnapshot.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <QtTest>

#ifdef Q_OS_WIN
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

// A program that takes the clipboard with its text rendered only on
// request, on a thread of its own, and then either stops answering
// altogether (hang) or answers everything but the request to render
// (stall). Released, it answers again but never renders.
class LateOwner : public QObject
{
public:
    LateOwner(HANDLE release, bool stall)
        : release(release)
        , stall(stall)
    { }
    ~LateOwner() override
    {
        if (window)
            DestroyWindow(window);
    }

    // On the owner's thread.
    bool take()
    {
        WNDCLASSW windowClass {};
        windowClass.lpfnWndProc = &LateOwner::windowProc;
        windowClass.lpszClassName = L"QuilletTestLateOwner";
        RegisterClassW(&windowClass);
        window = CreateWindowW(
            L"QuilletTestLateOwner", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!window || !OpenClipboard(window))
            return false;
        EmptyClipboard();
        SetClipboardData(CF_UNICODETEXT, nullptr);
        // From here on a hung owner answers nothing, not even while the
        // system lets it handle messages inside CloseClipboard.
        hung = !stall;
        CloseClipboard();
        return true;
    }
    void waitForRelease() { WaitForSingleObject(release, 30000); }

    HWND window = nullptr;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto *owner = reinterpret_cast<LateOwner *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (owner && (owner->hung || (owner->stall && message == WM_RENDERFORMAT))) {
            owner->waitForRelease();
            owner->hung = false;
            if (message == WM_RENDERFORMAT)
                return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HANDLE release;
    bool stall;
    bool hung = false;
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
    void ownCopyComesBack();
    void ownerThatNeverAnswersIsSkipped();
    void stalledRenderingIsGivenUp();
    void quitWhileReadStalls();
    void quitWhenIdleIsQuick();

private:
    bool seenText(const QString &text) const;
    // Starts a late owner on a thread of its own; it owns the clipboard
    // when this returns.
    bool startLateOwner(bool stall);
    void endLateOwner();

    QVector<ClipboardSnapshot> seen;
#ifdef Q_OS_WIN
    Win32ClipboardWatcher *watcher = nullptr;
    HWND owner = nullptr;
    HANDLE release = nullptr;
    WorkerThread *lateOwnerThread = nullptr;
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
    endLateOwner();
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

bool TestWin32Clipboard::startLateOwner(bool stall)
{
#ifdef Q_OS_WIN
    release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto *late = new LateOwner(release, stall);
    lateOwnerThread = new WorkerThread(late, QStringLiteral("test late owner"));
    // A hung owner stops answering right after taking the clipboard.
    QMetaObject::invokeMethod(
        late,
        [late, stall] {
            if (late->take() && !stall)
                late->waitForRelease();
        },
        Qt::QueuedConnection);
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        wchar_t name[64] = {};
        HWND current = GetClipboardOwner();
        if (current && GetClassNameW(current, name, 64)
            && QString::fromWCharArray(name) == QLatin1String("QuilletTestLateOwner"))
            return true;
        QThread::msleep(10);
    }
    return false;
#else
    Q_UNUSED(stall);
    return false;
#endif
}

void TestWin32Clipboard::endLateOwner()
{
#ifdef Q_OS_WIN
    if (release)
        SetEvent(release);
    delete lateOwnerThread;
    lateOwnerThread = nullptr;
    if (release)
        CloseHandle(release);
    release = nullptr;
#endif
}

void TestWin32Clipboard::snapshotMatchesQt_data()
{
    QTest::addColumn<Items>("items");
    const QByteArray zero32(4, '\0');
    QTest::newRow("text crlf") << Items { { "13", utf16z("hello\r\nworld\r\n") } };
    QTest::newRow("ansi text") << Items { { "1", QByteArray("plain ansi", 11) } };
    QTest::newRow("japanese") << Items { { "13", utf16z(QStringLiteral("二番目 テキスト")) } };
    QTest::newRow("embedded nul") << Items { { "13", utf16z(QStringLiteral("abc") + QChar(0) + "def") } };
    QTest::newRow("html") << Items { { "13", utf16z("h") },
        { "HTML Format", QByteArray("Version:0.9\r\n", 14) } };
    QTest::newRow("markers") << Items { { "13", utf16z("secret") },
        { "ExcludeClipboardContentFromMonitorProcessing", QByteArray(1, '\1') },
        { "Clipboard Viewer Ignore", QByteArray(1, '\1') }, { "CanIncludeInClipboardHistory", zero32 },
        { "CanUploadToCloudClipboard", zero32 } };
    QTest::newRow("dib") << Items { { "13", utf16z("with dib") }, { "8", dib() } };
    QTest::newRow("bitmap") << Items { { "13", utf16z("with bitmap") }, { "bitmap", QByteArray() } };
    QTest::newRow("png") << Items { { "13", utf16z("with png") }, { "PNG", "x" } };
    QTest::newRow("image/png") << Items { { "13", utf16z("with image/png") }, { "image/png", "x" } };
    QTest::newRow("colour") << Items { { "13", utf16z("with colour") },
        { "application/x-color", QByteArray("\xff\xff\0\0\0\0\xff\xff", 8) } };
    QTest::newRow("custom") << Items { { "13", utf16z("custom") }, { "text/foo", "x" },
        { "application/x-thing", "x" }, { "My Custom Format", "x" } };
    QTest::newRow("urls") << Items { { "13", utf16z("http://a/") },
        { "UniformResourceLocatorW", utf16z("http://a/") }, { "UniformResourceLocator", "http://a/" } };
    QTest::newRow("empty") << Items {};
}

void TestWin32Clipboard::snapshotMatchesQt()
{
#ifdef Q_OS_WIN
    QFETCH(Items, items);
    QVERIFY(putOnClipboard(owner, items));
    QTRY_COMPARE_WITH_TIMEOUT(seen.size(), 1, 15000);
    const ClipboardSnapshot ours = seen.first();
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

void TestWin32Clipboard::ownerThatNeverAnswersIsSkipped()
{
#ifdef Q_OS_WIN
    QVERIFY(startLateOwner(false));
    // The owner is asked first and does not answer: its content is not read,
    // and the clipboard is not held open meanwhile.
    for (int i = 0; i < 10; ++i) {
        QTest::qWait(250);
        QCOMPARE(GetOpenClipboardWindow(), HWND(nullptr));
    }
    QVERIFY(seen.isEmpty());
    QCOMPARE(watcher->readersStarted(), 1);
    endLateOwner();
    QVERIFY(putOnClipboard(owner, { { "13", utf16z("after the hung owner") } }));
    QTRY_VERIFY_WITH_TIMEOUT(seenText(QStringLiteral("after the hung owner")), 15000);
    // The owner's window went with it, and its unrendered text with that:
    // the clipboard was empty for a moment. Nothing else was reported.
    for (const ClipboardSnapshot &snapshot : qAsConst(seen))
        QVERIFY(snapshot.text.isEmpty() || snapshot.text == QLatin1String("after the hung owner"));
#endif
}

void TestWin32Clipboard::stalledRenderingIsGivenUp()
{
#ifdef Q_OS_WIN
    QVERIFY(startLateOwner(true));
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
    endLateOwner();
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
    QVERIFY(startLateOwner(true));
    QTRY_VERIFY_WITH_TIMEOUT(GetOpenClipboardWindow() != nullptr, 5000);
    QElapsedTimer quitting;
    quitting.start();
    delete watcher;
    watcher = nullptr;
    const qint64 quitMs = quitting.elapsed();
    QVERIFY2(quitMs < Win32ClipboardWatcher::quitTimeoutMs + 500, qPrintable(QString::number(quitMs)));
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

#include "win32clipboardreader.h"

#include "windowsclipboardformats.h"

#include <QDebug>
#include <QVector>

#include "win32api.h"

namespace {
const wchar_t windowClassName[] = L"QuilletClipboardReader";
// More formats than this are nonsense from a broken owner.
constexpr int maxFormats = 1000;

UINT giveUpMessage()
{
    static const UINT message = RegisterWindowMessageW(L"QuilletClipboardReaderGiveUp");
    return message;
}

LRESULT CALLBACK readerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *reader = reinterpret_cast<Win32ClipboardReader *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (reader && message == WM_CLIPBOARDUPDATE) {
        reader->clipboardUpdated();
        return 0;
    }
    if (reader && message == giveUpMessage()) {
        reader->giveUp();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool registerWindowClass()
{
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = readerWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = windowClassName;
    // A fresh reader finds the class already there.
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void skipped(const char *reason)
{
    qDebug().noquote()
        << QStringLiteral("quillet: %1; this copy is not taken into the history.").arg(QLatin1String(reason));
}
}  // namespace

Win32ClipboardReader::Win32ClipboardReader(quint32 guiThreadId, quint32 knownSequence, QObject *parent)
    : QObject(parent)
    , guiThread(guiThreadId)
    , lastSequence(knownSequence)
    , probeRetry(this)
{
    probeRetry.setSingleShot(true);
    probeRetry.setInterval(probeRetryMs);
    connect(&probeRetry, &QTimer::timeout, this, &Win32ClipboardReader::clipboardUpdated);
}

Win32ClipboardReader::~Win32ClipboardReader()
{
    if (holding)
        CloseClipboard();
    if (!window)
        return;
    HWND hwnd = static_cast<HWND>(window);
    if (listens)
        RemoveClipboardFormatListener(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    DestroyWindow(hwnd);
}

void Win32ClipboardReader::askToGiveUp(quintptr window)
{
    // A sent message, not a posted one: a thread that waits inside
    // GetClipboardData for the owner still handles sent messages.
    if (window)
        SendNotifyMessageW(reinterpret_cast<HWND>(window), giveUpMessage(), 0, 0);
}

bool Win32ClipboardReader::start()
{
    if (window)
        return listens;
    if (!registerWindowClass())
        return false;
    HWND hwnd = CreateWindowExW(
        0, windowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd)
        return false;
    window = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    listens = AddClipboardFormatListener(hwnd) != FALSE;
    if (!listens)
        return false;
    emit listening(reinterpret_cast<quintptr>(window));
    // A copy made while this thread started has sent no notice here.
    if (GetClipboardSequenceNumber() != lastSequence)
        clipboardUpdated();
    return true;
}

void Win32ClipboardReader::clipboardUpdated()
{
    if (gaveUp)
        return;
    if (busy) {
        changedAgain = true;
        return;
    }
    busy = true;
    do {
        changedAgain = false;
        readIfChanged();
    } while (changedAgain && !gaveUp);
    busy = false;
}

void Win32ClipboardReader::giveUp()
{
    // Being replaced or ending: no read starts from here on, not even one
    // for a change that is already on its way.
    gaveUp = true;
    if (!holding)
        return;
    holding = false;
    // The stalled call returns only when its owner answers; the clipboard
    // is free for everybody else from now on.
    CloseClipboard();
}

void Win32ClipboardReader::readIfChanged()
{
    // Of a burst of changes only the first notice finds a new number; the
    // content read then is already the newest.
    const quint32 sequence = GetClipboardSequenceNumber();
    if (sequence == lastSequence)
        return;
    if (sequence != probedSequence) {
        probedSequence = sequence;
        probeTurns = 0;
    }
    probeRetry.stop();
    HWND owner = GetClipboardOwner();
    bool own = false;
    if (!ownerAnswers(owner, &own)) {
        // Busy for a moment, or hung: asked again a little later, unless a
        // newer content comes first.
        if (++probeTurns < probeAttempts) {
            probeRetry.start();
            return;
        }
        lastSequence = sequence;
        skipped("the clipboard's owner does not answer");
        return;
    }
    lastSequence = sequence;
    if (own) {
        // Right after the program's own copy the paste's keys reach the
        // target, which opens the clipboard once, without retrying: holding
        // it open now to read what this process wrote would empty its paste.
        emit ownContentChanged(sequence);
        return;
    }
    readContentOf(owner);
}

void Win32ClipboardReader::readOwnThreadContent(quint32 sequence)
{
    if (gaveUp || busy || GetClipboardSequenceNumber() != sequence)
        return;  // a newer content is read, or being read, anyway
    busy = true;
    readContentOf(GetClipboardOwner());
    while (changedAgain && !gaveUp) {
        changedAgain = false;
        readIfChanged();
    }
    busy = false;
}

void Win32ClipboardReader::readContentOf(void *ownerWindow)
{
    HWND owner = static_cast<HWND>(ownerWindow);
    if (!openClipboard()) {
        skipped("another program keeps the clipboard open");
        return;
    }
    holding = true;
    if (GetClipboardOwner() != owner) {
        // Changed hands since the owner was asked: ask the new one first.
        holding = false;
        CloseClipboard();
        lastSequence = 0;
        changedAgain = true;
        return;
    }
    // Nobody can change the clipboard while it is open: this is the content
    // of this number.
    lastSequence = GetClipboardSequenceNumber();
    emit readingStarted();
    ClipboardSnapshot snapshot;
    readContent(&snapshot);
    if (gaveUp)
        return;
    // An owner rendering late may still write into a content that is no
    // longer its own; what was read then is a mix: read the new one.
    const bool overwritten = GetClipboardSequenceNumber() != lastSequence;
    holding = false;
    CloseClipboard();
    emit readingEnded();
    if (overwritten) {
        changedAgain = true;
        return;
    }
    emit snapshotRead(snapshot);
}

bool Win32ClipboardReader::ownerAnswers(void *ownerWindow, bool *own)
{
    HWND owner = static_cast<HWND>(ownerWindow);
    // Without an owner nothing is rendered on request.
    if (!owner)
        return true;
    const DWORD thread = GetWindowThreadProcessId(owner, nullptr);
    if (thread == 0)
        return true;
    if (thread == guiThread) {
        // Qt copies through OLE, whose window of the copying thread then
        // owns the clipboard; other windows of that thread are read as usual
        // (their thread renders as soon as it is free).
        wchar_t className[32];
        const int length = GetClassNameW(owner, className, 32);
        *own = QString::fromWCharArray(className, qMax(length, 0)) == QLatin1String("CLIPBRDWNDCLASS");
        return true;
    }
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_BLOCK, probeTimeoutMs, &result))
        return true;
    // A program that copies and ends at once takes its window with it
    // before it could answer; a window that is gone renders nothing and
    // holds up nothing.
    return !IsWindow(owner);
}

bool Win32ClipboardReader::openClipboard()
{
    for (int attempt = 0; attempt < openAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(openRetryMs);
        if (OpenClipboard(static_cast<HWND>(window)))
            return true;
    }
    return false;
}

void Win32ClipboardReader::readContent(ClipboardSnapshot *snapshot)
{
    using Formats = WindowsClipboardFormats;
    QVector<Formats::Format> formats;
    UINT id = 0;
    while (formats.size() < maxFormats && (id = EnumClipboardFormats(id)) != 0) {
        Formats::Format format;
        format.id = id;
        wchar_t name[256];
        const int length = id >= 0xC000 ? GetClipboardFormatNameW(id, name, 256) : 0;
        if (length > 0)
            format.name = QString::fromWCharArray(name, length);
        formats.append(format);
    }
    QMap<quint32, QByteArray> data;
    const QVector<quint32> wanted = Formats::formatsToRead(formats);
    for (quint32 format : wanted) {
        data.insert(format, readData(format));
        if (gaveUp)
            return;
    }
    *snapshot = Formats::snapshot(formats, data);
}

QByteArray Win32ClipboardReader::readData(quint32 format)
{
    // Waits for the owner when it renders on request.
    HANDLE data = GetClipboardData(format);
    if (!data || gaveUp)
        return QByteArray();
    const SIZE_T size = GlobalSize(data);
    if (size == 0 || qint64(size) > maxDataBytes)
        return QByteArray();
    const void *bytes = GlobalLock(data);
    if (!bytes)
        return QByteArray();
    const QByteArray result(static_cast<const char *>(bytes), int(size));
    GlobalUnlock(data);
    return result;
}

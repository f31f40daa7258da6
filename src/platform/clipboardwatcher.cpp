#include "clipboardwatcher.h"

#include <QClipboard>
#include <QGuiApplication>

ClipboardWatcher::ClipboardWatcher(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<ClipboardSnapshot>();
}

ClipboardWatcher::~ClipboardWatcher() = default;

QtClipboardWatcher::QtClipboardWatcher(QObject *parent)
    : ClipboardWatcher(parent)
    , clipboard(QGuiApplication::clipboard())
{
    // A run of changes is read once, when the event loop is free: only the
    // newest content can still be read anyway.
    settle.setSingleShot(true);
    settle.setInterval(0);
    connect(&settle, &QTimer::timeout, this, &QtClipboardWatcher::read);
    connect(clipboard, &QClipboard::dataChanged, this, [this] {
        if (!settle.isActive())
            settle.start();
    });
}

void QtClipboardWatcher::read()
{
    emit changed(ClipboardSnapshot::fromMimeData(clipboard->mimeData(QClipboard::Clipboard)));
}

#include "lazyicon.h"

#include <QFile>

LazyIcon::LazyIcon(const QString &path)
    : path(path)
{ }

QIcon LazyIcon::fromFile(const QString &path)
{
    return QIcon(new LazyIcon(path));
}

QIcon &LazyIcon::icon()
{
    if (!loaded) {
        loaded = true;
        decoded = QIcon(path);
    }
    return decoded;
}

void LazyIcon::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QPixmap LazyIcon::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return icon().pixmap(size, mode, state);
}

QSize LazyIcon::actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    return icon().actualSize(size, mode, state);
}

void LazyIcon::addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state)
{
    icon().addPixmap(pixmap, mode, state);
}

void LazyIcon::addFile(const QString &fileName, const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    icon().addFile(fileName, size, mode, state);
}

QIconEngine *LazyIcon::clone() const
{
    auto *copy = new LazyIcon(path);
    copy->decoded = decoded;
    copy->loaded = loaded;
    return copy;
}

QString LazyIcon::key() const
{
    return QStringLiteral("LazyIcon");
}

void LazyIcon::virtual_hook(int id, void *data)
{
    switch (id) {
    case QIconEngine::AvailableSizesHook: {
        auto *sizes = static_cast<QIconEngine::AvailableSizesArgument *>(data);
        sizes->sizes = icon().availableSizes(sizes->mode, sizes->state);
        return;
    }
    case QIconEngine::IsNullHook:
        // Asked before the icon is shown (is there anything to show?): the
        // file's presence answers without reading it.
        *static_cast<bool *>(data) = loaded ? decoded.isNull() : !QFile::exists(path);
        return;
    default:
        QIconEngine::virtual_hook(id, data);
    }
}

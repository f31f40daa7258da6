#ifndef LAZYICON_H
#define LAZYICON_H

#include <QIcon>
#include <QIconEngine>

// An icon of an image file (a resource) that reads and decodes the file only
// when it is first drawn or measured. Making an icon from a file name looks
// through the toolkit's icon and image plugins at once, which costs the
// start-up milliseconds before the tray icon is up; this one defers it.
class LazyIcon : public QIconEngine
{
public:
    static QIcon fromFile(const QString &path);

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    void addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state) override;
    void addFile(const QString &fileName, const QSize &size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine *clone() const override;
    QString key() const override;
    void virtual_hook(int id, void *data) override;

private:
    explicit LazyIcon(const QString &path);
    QIcon &icon();

    QString path;
    QIcon decoded;
    bool loaded = false;
};

#endif  // LAZYICON_H

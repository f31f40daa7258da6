// Icons whose file is read when they are first drawn.
#include "popup/lazyicon.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QImage solid(QColor colour)
{
    QImage image(24, 24, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

QImage drawn(const QIcon &icon, const QSize &size, QIcon::Mode mode)
{
    QImage canvas(size, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    icon.paint(&painter, canvas.rect(), Qt::AlignCenter, mode);
    return canvas;
}
}  // namespace

class TestLazyIcon : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(quillet); }

    // Every size and mode looks as the icon made from the file directly.
    void drawsAsTheFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("modeNumber");
        for (const char *path : { ":/icon/quillet.png", ":/icon/exit.png" }) {
            for (const int side : { 16, 22, 32, 64 }) {
                QTest::addRow("%s %d normal", path, side) << path << QSize(side, side) << int(QIcon::Normal);
                QTest::addRow("%s %d disabled", path, side)
                    << path << QSize(side, side) << int(QIcon::Disabled);
            }
        }
    }

    void drawsAsTheFile()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(int, modeNumber);
        const auto mode = QIcon::Mode(modeNumber);
        const QIcon direct(path);
        const QIcon lazy = LazyIcon::fromFile(path);
        QVERIFY(!lazy.isNull());
        QCOMPARE(lazy.availableSizes(mode), direct.availableSizes(mode));
        QCOMPARE(lazy.actualSize(size, mode), direct.actualSize(size, mode));
        QCOMPARE(lazy.pixmap(size, mode).toImage(), direct.pixmap(size, mode).toImage());
        QCOMPARE(drawn(lazy, size, mode), drawn(direct, size, mode));
    }

    // Asking whether there is anything to show does not read the file: what
    // is drawn is what the file holds when the icon is first drawn.
    void readsTheFileWhenFirstDrawn()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("icon.png"));
        QVERIFY(solid(Qt::red).save(path, "PNG"));
        const QIcon icon = LazyIcon::fromFile(path);
        QVERIFY(!icon.isNull());
        QVERIFY(solid(Qt::blue).save(path, "PNG"));
        QCOMPARE(icon.pixmap(24, 24).toImage().pixelColor(12, 12), QColor(Qt::blue));
        // Read once: later changes to the file do not show.
        QVERIFY(solid(Qt::green).save(path, "PNG"));
        QCOMPARE(icon.pixmap(24, 24).toImage().pixelColor(12, 12), QColor(Qt::blue));
    }

    void missingFileIsNull()
    {
        const QIcon icon = LazyIcon::fromFile(QStringLiteral(":/icon/no-such-icon.png"));
        QVERIFY(icon.isNull());
        QVERIFY(icon.pixmap(16, 16).isNull());
        QVERIFY(icon.availableSizes().isEmpty());
    }

    // A copy that is changed (the toolkit clones the engine) keeps the
    // picture, and the original is untouched by the change.
    void copiesKeepThePicture()
    {
        const QIcon original = LazyIcon::fromFile(QStringLiteral(":/icon/quillet.png"));
        const QImage before = original.pixmap(32, 32).toImage();
        QIcon changed = original;
        QPixmap extra(8, 8);
        extra.fill(Qt::green);
        changed.addPixmap(extra);
        QCOMPARE(changed.pixmap(32, 32).toImage(), before);
        QCOMPARE(original.pixmap(32, 32).toImage(), before);
        QCOMPARE(changed.pixmap(8, 8).toImage().pixelColor(4, 4), QColor(Qt::green));
        QVERIFY(original.availableSizes().size() < changed.availableSizes().size());
    }
};

QTEST_MAIN(TestLazyIcon)
#include "tst_lazyicon.moc"

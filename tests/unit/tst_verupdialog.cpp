// The version box.

#include "version/verupdialog.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

class TestVerupDialog : public QObject
{
    Q_OBJECT

private:
    static QPixmap bigPixmap()
    {
        QPixmap pixmap(200, 200);
        pixmap.fill(Qt::red);
        return pixmap;
    }

private slots:
    void form();
    void iconAndText();
    void onlyIconTextAndOk();
    void closing_data();
    void closing();
};

void TestVerupDialog::form()
{
    verupdialog box(QStringLiteral("quillet"), QStringLiteral("1.00"), bigPixmap());
    QCOMPARE(box.objectName(), QStringLiteral("verupdialog"));
    QCOMPARE(box.windowTitle(), QStringLiteral("Version"));
    QCOMPARE(box.width(), 468);
    QVERIFY(box.height() >= 145);
    QVERIFY(!(box.windowFlags() & Qt::WindowContextHelpButtonHint));
    auto *ok = box.findChild<QPushButton *>(QStringLiteral("btnOk"));
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    auto *check = box.findChild<QPushButton *>(QStringLiteral("btnVerup"));
    QCOMPARE(check->text(), QStringLiteral("新バージョンチェック"));
    QVERIFY(!check->isEnabled());
    QCOMPARE(box.findChild<QLabel *>(QStringLiteral("lblNewver"))->text(),
        QStringLiteral("新バージョンが見つかりました"));
}

void TestVerupDialog::iconAndText()
{
    verupdialog box(QStringLiteral("quillet"), QStringLiteral("1.00"), bigPixmap());
    box.show();
    auto *icon = box.findChild<QLabel *>(QStringLiteral("label"));
    QCOMPARE(icon->size(), QSize(64, 64));
    QVERIFY(icon->hasScaledContents());
    QVERIFY(!icon->pixmap(Qt::ReturnByValue).isNull());

    const QString text = box.findChild<QLabel *>(QStringLiteral("lblVertext"))->text();
    QVERIFY(text.startsWith(
        QStringLiteral("<p>このプログラムは Ｑｔライブラリ(LGPL版)を使って開発しています。</p><p>")));
    QCOMPARE(text.count(QStringLiteral("<p>")), 2);
    QVERIFY(text.endsWith(QStringLiteral("</p>quillet ver 1.00")));
    QVERIFY(Qt::mightBeRichText(text));
    // Nothing of the text is cut off.
    auto *label = box.findChild<QLabel *>(QStringLiteral("lblVertext"));
    QVERIFY(label->height() >= label->heightForWidth(label->width()));
}

void TestVerupDialog::onlyIconTextAndOk()
{
    verupdialog box(QStringLiteral("quillet"), QStringLiteral("1.00"), bigPixmap());
    box.show();
    QVERIFY(box.findChild<QLabel *>(QStringLiteral("label"))->isVisible());
    QVERIFY(box.findChild<QLabel *>(QStringLiteral("lblVertext"))->isVisible());
    QVERIFY(box.findChild<QPushButton *>(QStringLiteral("btnOk"))->isVisible());
    QVERIFY(!box.findChild<QLabel *>(QStringLiteral("lblNewver"))->isVisible());
    QVERIFY(!box.findChild<QProgressBar *>(QStringLiteral("progressBar"))->isVisible());
    QVERIFY(!box.findChild<QPushButton *>(QStringLiteral("btnVerup"))->isVisible());
}

void TestVerupDialog::closing_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("ok button") << 0;
    QTest::newRow("escape") << 1;
    QTest::newRow("close button") << 2;
}

void TestVerupDialog::closing()
{
    QFETCH(int, how);
    verupdialog box(QStringLiteral("quillet"), QStringLiteral("1.00"), bigPixmap());
    box.show();
    QVERIFY(box.isVisible());
    if (how == 0)
        QTest::mouseClick(box.findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);
    else if (how == 1)
        QTest::keyClick(&box, Qt::Key_Escape);
    else
        box.close();
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestVerupDialog)
#include "tst_verupdialog.moc"

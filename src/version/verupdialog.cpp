#include "verupdialog.h"
#include "ui_verupdialog.h"

#include <QPixmap>

verupdialog::verupdialog(const QString &name, const QString &version, const QPixmap &pixmap, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::verupdialog)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    ui->label->setPixmap(pixmap);
    ui->lblVertext->setText(tr("<p>このプログラムは Ｑｔライブラリ(LGPL版)を使って開発しています。</p>")
        + tr("<p>Qt 5 で作られています。日本語の表示には、入っていれば IPA フォントや Noto CJK "
             "フォントを使います。</p>")
        + name + QStringLiteral(" ver ") + version);
    // The new-version check is not offered.
    ui->lblNewver->setVisible(false);
    ui->progressBar->setVisible(false);
    ui->btnVerup->setVisible(false);
    // The text wraps at the box's width; the box grows downwards until the
    // whole of it shows, in whatever font the system gives.
    ui->lblVertext->setWordWrap(true);
    if (layout()->hasHeightForWidth())
        resize(width(), qMax(height(), layout()->totalHeightForWidth(width())));
}

verupdialog::~verupdialog()
{
    delete ui;
}

void verupdialog::on_btnOk_clicked()
{
    reject();
}

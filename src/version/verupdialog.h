#ifndef VERUPDIALOG_H
#define VERUPDIALOG_H

#include <QDialog>

namespace Ui {
class verupdialog;
}
class QPixmap;

// The small modal box with the program's icon, name and version.
class verupdialog : public QDialog
{
    Q_OBJECT

public:
    verupdialog(
        const QString &name, const QString &version, const QPixmap &pixmap, QWidget *parent = nullptr);
    ~verupdialog() override;

private slots:
    void on_btnOk_clicked();

private:
    Ui::verupdialog *ui;
};

#endif  // VERUPDIALOG_H

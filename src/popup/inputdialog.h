#ifndef INPUTDIALOG_H
#define INPUTDIALOG_H

#include <QDialog>

// The popup chooser.
class InputDialog : public QDialog
{
    Q_OBJECT

public:
    explicit InputDialog(QWidget *parent = nullptr);
    ~InputDialog() override;
};

#endif  // INPUTDIALOG_H

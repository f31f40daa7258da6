#include "inputdialog.h"

InputDialog::InputDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint);
}

InputDialog::~InputDialog() = default;

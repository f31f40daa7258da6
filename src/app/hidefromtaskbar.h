#ifndef HIDEFROMTASKBAR_H
#define HIDEFROMTASKBAR_H

#include <QWidget>

// An invisible dialog-flagged child of the main window; it is never shown.
class HideFromTaskbar : public QWidget
{
public:
    using QWidget::QWidget;
};

#endif  // HIDEFROMTASKBAR_H

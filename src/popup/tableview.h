#ifndef TABLEVIEW_H
#define TABLEVIEW_H

#include <QTableView>

// The popup's list: a table view that republishes every change of its
// current index as a signal.
class TableView : public QTableView
{
    Q_OBJECT

public:
    explicit TableView(QWidget *parent = nullptr);

signals:
    void CurrentChanged(const QModelIndex &current, const QModelIndex &previous);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
};

#endif  // TABLEVIEW_H

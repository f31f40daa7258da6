#include "tableview.h"

TableView::TableView(QWidget *parent)
    : QTableView(parent)
{ }

void TableView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The popup scrolls and previews itself in reply.
    emit CurrentChanged(current, previous);
}

#include "inputtablemodel.h"

InputTableModel::InputTableModel(QObject *parent)
    : QAbstractTableModel(parent)
    , rows(new QVector<int>)
{ }

InputTableModel::~InputTableModel()
{
    delete rows;
}

int InputTableModel::rowCount(const QModelIndex &parent) const
{
    // A flat list: only the root has rows.
    return parent.isValid() ? 0 : count;
}

int InputTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant InputTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || count < 1 || !index.isValid())
        return QVariant();
    const int at = position(index.row());
    if (at < 0)
        return QVariant();
    return displayText(history->at(at));
}

bool InputTableModel::removeRows(int row, int n, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || n < 1 || row + n > count)
        return false;
    beginRemoveRows(parent, row, row + n - 1);
    rows->remove(row, n);
    count -= n;
    endRemoveRows();
    return true;
}

void InputTableModel::setHistory(const QStringList *list)
{
    beginResetModel();
    history = list;
    endResetModel();
}

void InputTableModel::setRowCount(int n)
{
    if (n <= 0) {
        if (count > 0) {
            beginResetModel();
            count = 0;
            rows->clear();
            endResetModel();
        } else {
            rows->clear();
        }
        return;
    }
    n = qMin(n, rows->size());
    if (count > 0) {
        // Rows already shown: the list changes as a whole.
        beginResetModel();
        count = n;
        endResetModel();
        return;
    }
    beginInsertRows(QModelIndex(), 0, n - 1);
    count = n;
    endInsertRows();
}

bool InputTableModel::resetRows()
{
    beginResetModel();
    rows->clear();
    count = 0;
    endResetModel();
    return true;
}

int InputTableModel::position(int row) const
{
    if (!history || row < 0 || row >= count || row >= rows->size())
        return -1;
    const int at = rows->at(row);
    return at >= 0 && at < history->size() ? at : -1;
}

QString InputTableModel::displayText(const QString &entry)
{
    // Only the start of an entry fits in a row. Laying out a whole huge
    // entry on every paint would freeze the popup for seconds.
    int start = 0;
    while (start < entry.size() && entry.at(start).isSpace())
        ++start;
    QString text = entry.mid(start, maxShownLength);
    text.remove(QLatin1Char('\t'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

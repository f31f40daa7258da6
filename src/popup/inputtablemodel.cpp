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
    return listText(history->at(at), textLimit);
}

void InputTableModel::setRowTextLimit(int limit)
{
    limit = qBound(1, limit, listTextLimit);
    if (limit == textLimit)
        return;
    textLimit = limit;
    if (count > 0)
        emit dataChanged(index(0, 0), index(count - 1, 0), { Qt::DisplayRole });
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

void InputTableModel::appendRows(const QVector<int> &positions)
{
    if (positions.isEmpty())
        return;
    beginInsertRows(QModelIndex(), count, count + positions.size() - 1);
    rows->resize(count);
    *rows += positions;
    count += positions.size();
    endInsertRows();
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
    QString text = entry;
    text.remove(QLatin1Char('\t'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.trimmed();
}

QString InputTableModel::listText(const QString &entry, int limit)
{
    // The same steps as displayText, stopping once `limit` characters are
    // taken: leading blanks (a line feed is one) and tabs go, tabs inside
    // go, line feeds become spaces.
    const int size = entry.size();
    int from = 0;
    while (from < size && (entry.at(from) == QLatin1Char('\t') || entry.at(from).isSpace()))
        ++from;
    QString text;
    text.reserve(qMin(size - from, limit + 1));
    int i = from;
    for (; i < size && text.size() <= limit; ++i) {
        const QChar c = entry.at(i);
        if (c == QLatin1Char('\t'))
            continue;
        text += c == QLatin1Char('\n') ? QLatin1Char(' ') : c;
    }
    // Past the limit only blanks: the trimmed text ends within the limit.
    bool more = text.size() > limit && !text.at(limit).isSpace();
    for (; i < size && !more && text.size() > limit; ++i)
        more = entry.at(i) != QLatin1Char('\t') && !entry.at(i).isSpace();
    if (!more) {
        // All of the entry was taken: trim its end as displayText does.
        int end = text.size();
        while (end > 0 && text.at(end - 1).isSpace())
            --end;
        text.truncate(end);
        return text;
    }
    int cut = limit;
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    text.truncate(cut);
    text += QChar(0x2026);
    return text;
}

#ifndef INPUTTABLEMODEL_H
#define INPUTTABLEMODEL_H

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

// The popup's one-column list over the clipboard history. It copies nothing:
// its row map names, for each shown row, the position of the entry in the
// history, in ascending order, so the list keeps the newest-first order.
class InputTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit InputTableModel(QObject *parent = nullptr);
    ~InputTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    // The history the rows point into; the model never changes it.
    void setHistory(const QStringList *history);
    // Fill the row map first, then announce its rows with setRowCount.
    QVector<int> &rowMap() { return *rows; }
    const QVector<int> &rowMap() const { return *rows; }
    // Announces the `n` rows of the row map (0 empties the list).
    void setRowCount(int n);
    // Empties the list and the row map.
    bool resetRows();
    // The history position shown in `row`; -1 when there is none.
    int position(int row) const;

    // An entry as one list line: no tabs, line feeds as spaces, trimmed, and
    // of a long entry only the first maxShownLength characters after the
    // leading white space.
    static QString displayText(const QString &entry);
    static constexpr int maxShownLength = 1000;

private:
    int count = 0;
    QVector<int> *rows;
    const QStringList *history = nullptr;
};

#endif  // INPUTTABLEMODEL_H

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
    // Adds rows for the history `positions` after the rows shown, as a
    // search finds them (positions past those shown, ascending).
    void appendRows(const QVector<int> &positions);
    // The history position shown in `row`; -1 when there is none.
    int position(int row) const;

    // An entry as one list line: no tabs, line feeds as spaces, trimmed.
    static QString displayText(const QString &entry);
    // What a row shows: displayText cut after `limit` characters, with "…"
    // where it was cut. A row never shows more than fits its width and the
    // view elides the rest with the same "…", so this looks the same while
    // reading only the start of a huge entry.
    static QString listText(const QString &entry, int limit = listTextLimit);
    static constexpr int listTextLimit = 1024;
    // Rows show at most `limit` characters (at most listTextLimit): the
    // view lays out and elides each row's whole text when it paints, so a
    // row text no longer than what its width can hold keeps the painting
    // of long entries cheap.
    void setRowTextLimit(int limit);
    int rowTextLimit() const { return textLimit; }

private:
    int count = 0;
    int textLimit = listTextLimit;
    QVector<int> *rows;
    const QStringList *history = nullptr;
};

#endif  // INPUTTABLEMODEL_H

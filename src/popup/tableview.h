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

    // How many characters of a row can be seen at most across the view's
    // width in its font: the width over the narrowest printable ASCII
    // character, and a few more for the elision mark.
    int visibleCharacters() const;

signals:
    void CurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    // The view's width or font changed what visibleCharacters() gives.
    void visibleCharactersChanged(int characters);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void checkVisibleCharacters();

    int lastVisibleCharacters = -1;
};

#endif  // TABLEVIEW_H

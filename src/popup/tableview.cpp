#include "tableview.h"

#include <QEvent>
#include <QFontMetrics>

TableView::TableView(QWidget *parent)
    : QTableView(parent)
{ }

int TableView::visibleCharacters() const
{
    const QFontMetrics metrics(font());
    int narrowest = metrics.horizontalAdvance(QLatin1Char('i'));
    for (char c = 0x20; c < 0x7f; ++c)
        narrowest = qMin(narrowest, metrics.horizontalAdvance(QLatin1Char(c)));
    return viewport()->width() / qMax(1, narrowest) + 4;
}

void TableView::checkVisibleCharacters()
{
    const int characters = visibleCharacters();
    if (characters == lastVisibleCharacters)
        return;
    lastVisibleCharacters = characters;
    emit visibleCharactersChanged(characters);
}

void TableView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    checkVisibleCharacters();
}

void TableView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        checkVisibleCharacters();
}

void TableView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The popup scrolls and previews itself in reply.
    emit CurrentChanged(current, previous);
}

#include "changecoalescer.h"

#include <QTimer>

ChangeCoalescer::ChangeCoalescer(QObject *parent)
    : QObject(parent)
    , timer(new QTimer(this))
{
    // Zero: as soon as the events already queued have been handled, so a
    // single change is taken as fast as before.
    timer->setSingleShot(true);
    timer->setInterval(0);
    connect(timer, &QTimer::timeout, this, &ChangeCoalescer::settled);
}

bool ChangeCoalescer::isPending() const
{
    return timer->isActive();
}

void ChangeCoalescer::notify()
{
    // Not restarted: a stream of notices that never pauses still settles.
    if (!timer->isActive())
        timer->start();
}

#ifndef CHANGECOALESCER_H
#define CHANGECOALESCER_H

#include <QObject>

class QTimer;

// Turns a run of change notices into one `settled()` once the event loop
// is free again. The clipboard may announce thousands of changes in one go
// (a program that sets it in a loop); reading and saving after each of them
// would keep the event loop busy for minutes, with the hot key unanswered,
// while only the newest content can still be read anyway.
class ChangeCoalescer : public QObject
{
    Q_OBJECT

public:
    explicit ChangeCoalescer(QObject *parent = nullptr);

    // True between a notice and the `settled()` it leads to.
    bool isPending() const;

public slots:
    void notify();

signals:
    void settled();

private:
    QTimer *timer = nullptr;
};

#endif  // CHANGECOALESCER_H

#include "saveworker.h"

#include "handover.h"

SaveWorker::SaveWorker(QObject *parent)
    : QObject(parent)
{ }

void SaveWorker::save(const SaveRequest &request)
{
    const SaveOutcome outcome
        = request.settings.saveTo(request.directory, request.purgeOlderCopies, &ownClipList);
    HandOver::sent(this);
    emit saved(request.sequence, outcome);
}

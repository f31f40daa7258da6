#include "saveworker.h"

SaveWorker::SaveWorker(QObject *parent)
    : QObject(parent)
{ }

void SaveWorker::save(const SaveRequest &request)
{
    const SaveOutcome outcome
        = request.settings.saveTo(request.directory, request.purgeOlderCopies, &ownClipList);
    emit saved(request.sequence, outcome);
}

#ifndef SAVEWORKER_H
#define SAVEWORKER_H

#include "settings/filestamp.h"
#include "settings/saveoutcome.h"
#include "settings/settings.h"

#include <QMetaType>
#include <QObject>

// One save as the GUI thread asks for it: a copy of the settings record
// (its history shares the popup's list, nothing is copied deeply), the
// directory of the files, and whether older copies are purged.
struct SaveRequest
{
    Settings settings;
    QString directory;
    bool purgeOlderCopies = false;
    quint64 sequence = 0;
    // Last: see HandOverMark.
    HandOverMark<SaveRequest> handOver;
};

Q_DECLARE_METATYPE(SaveRequest)

// Writes the settings file and the clip list file on the save thread: the
// encoding, the compression and the atomic replacement of both files. It
// remembers the stamp of the clip list file it wrote last, so that the next
// save knows that file is good without decompressing it.
class SaveWorker : public QObject
{
    Q_OBJECT

public:
    explicit SaveWorker(QObject *parent = nullptr);

public slots:
    void save(const SaveRequest &request);

signals:
    void saved(quint64 sequence, const SaveOutcome &outcome);

private:
    FileStamp ownClipList;
};

#endif  // SAVEWORKER_H

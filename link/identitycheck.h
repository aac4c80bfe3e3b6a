#ifndef IDENTITYCHECK_H
#define IDENTITYCHECK_H

#include "controlleridentity.h"

#include <QMap>
#include <QPair>
#include <QVector>

// One check of who answers: the controller's firmware, read with the
// registers a controller below firmware 6000 keeps its hardware version and
// serial number in, then those of a later firmware where it has them.
// The identity comes from one try whose every read was answered at once: a
// read that fails begins the check again from its first read, so that the
// answers of two controllers (a cable moved between two reads) are never
// put together.
class IdentityCheck
{
public:
    void begin();
    bool isRunning() const { return running; }
    // The next read of the try, (count, address).
    QPair<int, int> nextRead() const;
    // The registers of the answer to the next read; true once the identity
    // is whole.
    bool takeAnswer(int address, const QVector<int>& values);
    // A read failed: the next try begins with the firmware again.
    void beginAgain();
    // Tries begun since begin(), the first one included.
    int tries() const { return tryCount; }
    // The identity of the last try that was whole; unknown before.
    ControllerIdentity identity() const { return answeringIdentity; }
    void end();

private:
    bool running = false;
    int tryCount = 0;
    QVector<QPair<int, int>> pendingReads;
    QMap<int, int> answered;
    ControllerIdentity answeringIdentity;
};

#endif // IDENTITYCHECK_H

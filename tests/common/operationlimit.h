#ifndef OPERATIONLIMIT_H
#define OPERATIONLIMIT_H

#include "kelvaracom.h"
#include "operationtimebound.h"

#include <algorithm>
#include <climits>

// How long a test waits for the link to end what it was asked: the most the
// link's own bound (OperationTimeBound) allows that many reads of all
// parameters, more than any other single operation of a test may take. A
// link that answers at all ends far sooner however loaded the machine is,
// and one that hangs still fails the test.
inline int operationLimitMs(const KelvaraCom* link, int readAlls = 1)
{
    const qint64 ms = OperationTimeBound::of(link).readAll().ms * readAlls;
    return int(std::min<qint64>(ms, INT_MAX));
}

#endif // OPERATIONLIMIT_H

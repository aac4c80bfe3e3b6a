#include "toldmarks.h"

void ToldMarks::note(const ControllerIdentity& controller, const QList<int>& addresses)
{
    if (addresses.isEmpty())
        return;
    for (auto& marks : told) {
        if (marks.first.isSameController(controller)) {
            for (const int address : addresses)
                marks.second.insert(address);
            return;
        }
    }
    told.append(qMakePair(controller, QSet<int>(addresses.begin(), addresses.end())));
}

void ToldMarks::forget(const ControllerIdentity& controller)
{
    for (int i = told.size() - 1; i >= 0; --i) {
        if (told.at(i).first.isSameController(controller))
            told.removeAt(i);
    }
}

bool ToldMarks::take(const ControllerIdentity& controller, int address)
{
    for (auto& marks : told) {
        if (marks.first.isSameController(controller))
            return marks.second.remove(address);
    }
    return false;
}

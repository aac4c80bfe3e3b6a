#include "keptmarks.h"

void KeptMarks::putAside(const ControllerIdentity& controller, const QMap<int, int>& flashValues,
                         const QMap<int, int>& ramValues)
{
    QMap<int, int> held;
    // A value still waiting for the read is the one the mark was kept for;
    // ramValues holds the other controller's there.
    for (auto it = flashValues.constBegin(); it != flashValues.constEnd(); ++it)
        held.insert(it.key(), due.value(it.key(), ramValues.value(it.key())));
    due.clear();
    aside.append(Aside{controller, flashValues, held});
}

QMap<int, int> KeptMarks::takeBack(const ControllerIdentity& controller)
{
    due.clear();
    for (int i = 0; i < aside.size(); ++i) {
        if (!aside.at(i).controller.isSameController(controller))
            continue;
        const Aside taken = aside.takeAt(i);
        due = taken.ramValues;
        return taken.flashValues;
    }
    return {};
}

bool KeptMarks::readReplaces(int address, int raw, std::optional<int> shownKept)
{
    const auto waiting = due.constFind(address);
    const std::optional<int> kept = waiting != due.constEnd() ? *waiting : shownKept;
    due.remove(address);
    return kept && *kept != raw;
}

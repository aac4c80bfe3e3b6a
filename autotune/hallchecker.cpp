#include "hallchecker.h"

#include "autotuneregisters.h"
#include "kelvara.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QMap>
#include <QSet>

namespace {

const int hallStates = 8;
const int sectors = 6;

int learntValue(Kelvara* runner, int state)
{
    return truncateToInt(
        runner->getParameter(AutotuneRegister::LearntHallSectors + state)->getValue());
}

int wrapSector(int sector)
{
    return ((sector % sectors) + sectors) % sectors;
}

bool isSingleBit(int value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

bool areHallsValid(Kelvara* runner)
{
    QSet<int> seen;
    for (int state = 1; state <= 6; ++state) {
        const int sector = learntValue(runner, state);
        if (seen.contains(sector))
            return false;
        seen.insert(sector);
    }
    return true;
}

HallChecker::HallChecker(QObject* parent, Kelvara* runner)
    : QObject(parent)
    , runner(runner)
{
}

int HallChecker::learntSector(int state) const
{
    return learntValue(runner, state);
}

bool HallChecker::hallSensorErrors() const
{
    int unseen = 0;
    QSet<int> sectorsSeen;
    for (int state = 0; state < hallStates; ++state) {
        const int sector = learntSector(state);
        if (sector == UnseenState)
            ++unseen;
        else if (sector >= 0 && sector < sectors)
            sectorsSeen.insert(sector);
        else
            return true;
    }
    return unseen != 2 || sectorsSeen.size() != sectors;
}

bool HallChecker::areHallsValid() const
{
    return ::areHallsValid(runner);
}

QString HallChecker::describeHallError() const
{
    int orMask = 0;
    int andMask = 7;
    for (int state = 0; state < hallStates; ++state) {
        if (learntSector(state) == UnseenState)
            continue;
        orMask |= state;
        andMask &= state;
    }
    if (andMask == 7 || orMask == 0)
        return QStringLiteral("No valid hall signals. Maybe the hall cable is disconnected.\n");

    static const char* const colours[] = {"Green", "Yellow", "Blue"};
    QString text;
    for (int bit = 0; bit < 3; ++bit) {
        if (!(orMask & (1 << bit)))
            text += QLatin1String(colours[bit])
                + QStringLiteral(" hall faulty (high - disconnected or shorted to Hall V+?)\n");
    }
    for (int bit = 0; bit < 3; ++bit) {
        if (andMask & (1 << bit))
            text += QLatin1String(colours[bit])
                + QStringLiteral(" hall faulty (low - shorted to ground?)\n");
    }
    if (text.isEmpty())
        return QStringLiteral(
            "Invalid hall pattern detected. Sensors may be shorted together, or have "
            "connection issues.\n");
    return text;
}

// Unseen states share the value 15 without sharing a sector: they are
// never taken for a duplicate.
void HallChecker::adjustHallValues()
{
    QMap<int, int> stateOfSector;
    int dupState = -1;
    int dupValue = 0;
    for (int state = 1; state <= 6; ++state) {
        const int sector = learntSector(state);
        if (sector == UnseenState)
            continue;
        if (stateOfSector.contains(sector)) {
            dupState = state;
            dupValue = sector;
        } else {
            stateOfSector.insert(sector, state);
        }
    }
    if (dupState < 0)
        return;

    const int firstState = stateOfSector.value(dupValue);
    const bool upIsFree = !stateOfSector.contains(wrapSector(dupValue + 1));
    const int step = upIsFree ? 1 : -1;
    const int reference = stateOfSector.value(wrapSector(dupValue + (upIsFree ? 2 : 4)), 0);
    const int moving = isSingleBit(reference ^ dupState) ? dupState : firstState;
    runner->getParameter(AutotuneRegister::HallSectors + moving)
        ->setValue(wrapSector(dupValue + step));
}

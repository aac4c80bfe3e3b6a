#include "movedvalues.h"

#include "formula.h"
#include "parameter.h"

#include <QtGlobal>

#include <cmath>
#include <utility>

namespace {

// Enough for every step of a limit's way back and forth.
const int maxRestingContexts = 16;

bool sameDisplayValue(double a, double b)
{
    return a == b || std::fabs(a - b) * 1000000000000.0 <= qMin(std::fabs(a), std::fabs(b));
}

// What raw means, not put on the display grid.
double unroundedValue(Parameter* parameter, int raw)
{
    Formula* scale = parameter->getScaleFormula();
    Formula* offset = parameter->getOffsetFormula();
    if (!scale || !offset)
        return -1.0;
    return scale->toDisplay(raw) - offset->evaluate();
}

} // namespace

MovedValues::MovedValues(const QMap<int, Parameter*>& parameters,
                         std::function<void(int, int)> putBack, QObject* parent)
    : QObject(parent)
    , putBack(std::move(putBack))
{
    qRegisterMetaType<QList<MovedValue>>();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        Track track;
        track.parameter = it.value();
        track.references = it.value()->referencedParameters().toVector();
        tracks.insert(it.key(), track);
    }
    settleAll();
}

void MovedValues::settleAll()
{
    for (Track& track : tracks) {
        track.lastRaw = track.parameter->getRegisterValue();
        track.rawBeforeStore = track.lastRaw;
        track.cause = -1;
        settle(track);
    }
    pending.clear();
    pushed.clear();
}

bool MovedValues::isAtOrigin(int address) const
{
    const auto it = tracks.constFind(address);
    return it != tracks.constEnd() && !pushed.contains(address)
        && it->parameter->getRegisterValue() == it->origin;
}

void MovedValues::settle(Track& track)
{
    track.origin = track.lastRaw;
    track.restingContexts = {contextOf(track)};
}

QVector<int> MovedValues::contextOf(const Track& track)
{
    QVector<int> context;
    context.reserve(track.references.size());
    for (const Parameter* reference : track.references)
        context.append(reference->getRegisterValue());
    return context;
}

void MovedValues::noteResting(Track& track, const QVector<int>& context)
{
    if (track.restingContexts.contains(context))
        return;
    if (track.restingContexts.size() >= maxRestingContexts)
        track.restingContexts.removeFirst();
    track.restingContexts.append(context);
}

void MovedValues::takeChange(int address, bool takingControllerValues)
{
    const auto it = tracks.find(address);
    if (it == tracks.end())
        return;
    Track& track = *it;
    const int raw = track.parameter->getRegisterValue();
    if (address == puttingBack) {
        track.lastRaw = raw;
        return;
    }
    if (track.parameter->isRecomputing()) {
        takeRecomputation(address, track);
        return;
    }
    if (raw == track.lastRaw)
        return; // only announced again
    const int before = std::exchange(track.lastRaw, raw);
    if (!takingControllerValues && Parameter::isStoringAnother(track.parameter)) {
        notePushedBy(address, track, Parameter::outermostStore());
        notePending(address, {before, false, false});
        return;
    }
    // The user's own value, a file's or the controller's; the steps of one
    // drag count as one.
    if (!reportHeld || !storedWhileHeld.contains(address))
        track.rawBeforeStore = before;
    if (reportHeld && !takingControllerValues)
        storedWhileHeld.insert(address);
    settle(track);
    track.cause = -1;
    pushed.remove(address);
    pending.remove(address);
    if (!takingControllerValues)
        putBackPushedBy(address, raw);
}

// The first push since its origin names the cause: a register that the
// user, a file or the controller set.
void MovedValues::notePushedBy(int address, Track& track, const Parameter* cause)
{
    const auto it = cause ? tracks.constFind(cause->getAddress()) : tracks.constEnd();
    if (track.cause >= 0 || it == tracks.constEnd() || it->parameter != cause)
        return;
    track.cause = it.key();
    track.causeRaw = it->rawBeforeStore;
    pushed.insert(address);
}

// Where the register that pushed others holds again what it held before,
// they go back to their origins, if those stand under the values their
// formulas refer to now.
void MovedValues::putBackPushedBy(int cause, int raw)
{
    const QList<int> addresses = pushed.values();
    for (const int address : addresses) {
        Track& track = tracks[address];
        if (track.cause != cause || track.causeRaw != raw)
            continue;
        pushed.remove(address);
        track.cause = -1;
        if (track.lastRaw != track.origin && track.restingContexts.contains(contextOf(track)))
            putBackOrigin(address, track);
    }
}

// A register its formulas refer to changed: where those hold values again
// under which this one stood at its origin, it goes back there.
void MovedValues::takeRecomputation(int address, Track& track)
{
    const int raw = track.parameter->getRegisterValue();
    const int before = std::exchange(track.lastRaw, raw);
    const QVector<int> context = contextOf(track);
    if (track.restingContexts.contains(context)) {
        if (raw != track.origin)
            putBackOrigin(address, track);
        return;
    }
    if (raw == track.origin)
        noteResting(track, context);
    else if (raw != before)
        notePending(address, {before, false, false});
}

void MovedValues::putBackOrigin(int address, Track& track)
{
    const int outer = std::exchange(puttingBack, address);
    putBack(address, track.origin);
    puttingBack = outer;
    track.lastRaw = track.parameter->getRegisterValue();
}

void MovedValues::noteLimitedFileValue(int address, int fileRaw)
{
    if (tracks.contains(address))
        notePending(address, {fileRaw, true, false});
}

void MovedValues::noteEnteredValue(int address, int enteredRaw)
{
    if (tracks.contains(address))
        notePending(address, {enteredRaw, false, true});
}

void MovedValues::holdReport(bool held)
{
    if (held == reportHeld)
        return;
    reportHeld = held;
    storedWhileHeld.clear();
    if (!held && !pending.isEmpty())
        queueReport();
}

// A value the action gave keeps its place; a move, the first value before.
void MovedValues::notePending(int address, const Pending& value)
{
    if (value.fromFile || value.entered || !pending.contains(address))
        pending.insert(address, value);
    queueReport();
}

void MovedValues::queueReport()
{
    if (reportQueued || reportHeld)
        return;
    reportQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { report(); }, Qt::QueuedConnection);
}

void MovedValues::report()
{
    reportQueued = false;
    if (reportHeld)
        return; // told once the drag is released
    QList<MovedValue> moves;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        const Track& track = tracks[it.key()];
        const Parameter* parameter = track.parameter;
        if (!it->fromFile && !it->entered && parameter->getRegisterValue() == track.origin)
            continue; // back where it was
        MovedValue move;
        move.address = it.key();
        move.before = parameter->unlimitedValue(it->raw);
        move.after = parameter->getValue();
        move.fromFile = it->fromFile;
        move.entered = it->entered;
        // A file's value the register cannot hold (-1 in an unsigned one)
        // is told however close to the limit it shows.
        if (move.fromFile && sameDisplayValue(move.before, move.after)
            && it->raw != parameter->getRegisterValue())
            move.before = unroundedValue(track.parameter, it->raw);
        if (!sameDisplayValue(move.before, move.after))
            moves.append(move);
    }
    pending.clear();
    if (!moves.isEmpty())
        emit valuesMoved(moves);
}

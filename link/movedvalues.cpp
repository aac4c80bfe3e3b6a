#include "movedvalues.h"

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

} // namespace

MovedValues::MovedValues(const QMap<int, Parameter*>& parameters,
                         std::function<void(int, int)> putBack,
                         std::function<bool(int, int)> keepsOrder, QObject* parent)
    : QObject(parent)
    , putBack(std::move(putBack))
    , keepsOrder(std::move(keepsOrder))
{
    qRegisterMetaType<QList<MovedValue>>();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        Track track;
        track.parameter = it.value();
        const QList<Parameter*> references = it.value()->referencedParameters();
        track.references = QVector<const Parameter*>(references.begin(), references.end());
        tracks.insert(it.key(), track);
    }
    settleAll();
}

void MovedValues::settleAll()
{
    for (Track& track : tracks) {
        track.lastRaw = track.parameter->getRegisterValue();
        track.rawBeforeStore = track.lastRaw;
        settle(track);
    }
    pending.clear();
    pushed.clear();
    putBackFrom.clear();
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
    track.originContexts.clear();
    track.cause = -1;
    restAt(track, track.lastRaw);
}

void MovedValues::restAt(Track& track, int raw)
{
    track.rest = raw;
    track.restingContexts = {contextOf(track)};
}

MovedValues::Context MovedValues::contextOf(const Track& track)
{
    Context context;
    context.reserve(track.references.size());
    for (const Parameter* reference : track.references)
        context.append(reference->getRegisterValue());
    return context;
}

// Under the values the register's formulas refer to now, raw would stand
// unmoved: it stood under such values, or the limits they set let it.
bool MovedValues::stands(const Track& track, int raw, const QVector<Context>& contexts)
{
    return contexts.contains(contextOf(track)) || track.parameter->isWithinLimits(raw);
}

void MovedValues::noteResting(Track& track, const Context& context)
{
    if (track.restingContexts.contains(context))
        return;
    // The context of the origin itself stays.
    if (track.restingContexts.size() >= maxRestingContexts)
        track.restingContexts.removeAt(1);
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
        takeRecomputation(address, track, takingControllerValues);
        return;
    }
    if (raw == track.lastRaw)
        return; // only announced again
    const int before = std::exchange(track.lastRaw, raw);
    const bool own = ownStores.contains(address);
    if (!takingControllerValues && !own && Parameter::isStoringAnother(track.parameter))
        takePush(address, track, causeOfPush());
    else
        takeOwnValue(address, track, before, takingControllerValues);
}

// The user's own value, a file's or the controller's; the steps of one
// drag count as one.
void MovedValues::takeOwnValue(int address, Track& track, int before, bool takingControllerValues)
{
    if (!reportHeld || !storedWhileHeld.contains(address))
        track.rawBeforeStore = before;
    if (reportHeld && !takingControllerValues)
        storedWhileHeld.insert(address);
    settle(track);
    pushed.remove(address);
    pending.remove(address);
    putBackFrom.remove(address);
    if (takingControllerValues)
        return;
    putBackPushedBy(address, track.lastRaw);
    putBackFollowersOf(address);
}

void MovedValues::takeFileValue(int address)
{
    const auto it = tracks.find(address);
    if (it == tracks.end() || isAtOrigin(address))
        return;
    it->lastRaw = it->parameter->getRegisterValue();
    takeOwnValue(address, *it, it->rest, false);
}

// The user's own value being stored, else the store that set off all
// under way.
const Parameter* MovedValues::causeOfPush() const
{
    if (!ownStores.isEmpty())
        return tracks.value(ownStores.constLast()).parameter;
    return Parameter::outermostStore();
}

void MovedValues::beginOwnStore(int address)
{
    ownStores.append(address);
}

void MovedValues::endOwnStore()
{
    if (!ownStores.isEmpty())
        ownStores.removeLast();
}

// An order pushed the register as another value was set. Set for a
// register its formulas refer to (a rated voltage), that value moved it as
// its limits do: it goes back to its rest with the value. Else the push
// is where the user's values leave it, and it rests there. The first push
// since its origin names the cause: a register that the user, a file or
// the controller set.
void MovedValues::takePush(int address, Track& track, const Parameter* cause)
{
    noteMove(address, track, true);
    if (track.references.contains(cause))
        return;
    const auto it = cause ? tracks.constFind(cause->getAddress()) : tracks.constEnd();
    if (track.cause < 0 && it != tracks.constEnd() && it->parameter == cause) {
        track.originContexts = track.restingContexts;
        track.cause = it.key();
        track.causeRaw = it->rawBeforeStore;
        pushed.insert(address);
    }
    restAt(track, track.lastRaw);
}

// Where the register that pushed others holds again what it held before,
// they go back to their origins, if those stand under the values their
// formulas refer to now.
void MovedValues::putBackPushedBy(int cause, int raw)
{
    const QList<int> addresses = pushed.values();
    for (const int address : addresses) {
        Track& track = tracks[address];
        if (track.cause != cause || !causeIsBack(tracks.value(cause), track.causeRaw, raw))
            continue;
        pushed.remove(address);
        track.cause = -1;
        if (!stands(track, track.origin, track.originContexts))
            continue;
        track.rest = track.origin;
        track.restingContexts = std::exchange(track.originContexts, {});
        if (track.lastRaw != track.rest)
            returnToRest(address, track, true);
    }
}

// A value set for a register others' formulas refer to: those it moved
// (by their limits, or by an order as it moved them), that stand now under
// values again that they rested under, go back to their rests at once, so
// that the widgets' rules meet them as they were.
void MovedValues::putBackFollowersOf(int address)
{
    const Parameter* changed = tracks.value(address).parameter;
    for (auto it = tracks.begin(); it != tracks.end(); ++it) {
        Track& track = *it;
        if (it.key() != address && track.lastRaw != track.rest && track.references.contains(changed)
            && stands(track, track.rest, track.restingContexts))
            returnToRest(it.key(), track, true);
    }
}

// Back to the value it held, or to one that shows as that did.
bool MovedValues::causeIsBack(const Track& cause, int causeRaw, int raw) const
{
    if (raw == causeRaw)
        return true;
    const Parameter* parameter = cause.parameter;
    return parameter && parameter->isWithinLimits(causeRaw) && parameter->isWithinLimits(raw)
        && sameDisplayValue(parameter->asValue(causeRaw), parameter->asValue(raw));
}

// A register its formulas refer to changed: where those hold values again
// under which this one stood at its rest, it goes back there.
void MovedValues::takeRecomputation(int address, Track& track, bool takingControllerValues)
{
    const int raw = track.parameter->getRegisterValue();
    const int before = std::exchange(track.lastRaw, raw);
    const Context context = contextOf(track);
    if (raw != track.rest && stands(track, track.rest, track.restingContexts)) {
        returnToRest(address, track, !takingControllerValues);
        return;
    }
    if (raw == track.rest)
        noteResting(track, context);
    else if (raw != before)
        noteMove(address, track, false);
}

// Kept in order once the action is over (keepOrdersOfPutBacks()), unless
// the controller's values are being taken: they are its own.
void MovedValues::returnToRest(int address, Track& track, bool keepInOrder)
{
    if (keepInOrder && !putBackFrom.contains(address))
        putBackFrom.insert(address, track.lastRaw);
    putBackOrigin(address, track, track.rest);
    if (keepInOrder)
        queueReport();
}

void MovedValues::putBackOrigin(int address, Track& track, int raw)
{
    const int outer = std::exchange(puttingBack, address);
    putBack(address, raw);
    puttingBack = outer;
    track.lastRaw = track.parameter->getRegisterValue();
}

// A value put back in the action that leaves an order broken, with the
// others where the action left them, stays where it was and is told. One
// kept so may leave another out of order in turn.
void MovedValues::keepOrdersOfPutBacks()
{
    QMap<int, int> putBacks = std::exchange(putBackFrom, {});
    bool anyKept = true;
    while (anyKept) {
        anyKept = false;
        for (auto it = putBacks.begin(); it != putBacks.end();) {
            Track& track = tracks[it.key()];
            // Moved again since, it is no put back any more.
            const bool back = track.lastRaw == track.rest;
            if (back && keepsOrder(it.key(), track.rest)) {
                ++it;
                continue;
            }
            if (back) {
                keepWhereItWas(it.key(), track, it.value());
                anyKept = true;
            }
            it = putBacks.erase(it);
        }
    }
}

// Not as the controller's value: the widgets' rules act on it as on the
// value the action left there, and what they hold it at is no value
// entered. It rests there now, kept in order with the values the user set.
void MovedValues::keepWhereItWas(int address, Track& track, int raw)
{
    const int notPutBackTo = track.rest;
    const int outer = std::exchange(puttingBack, address);
    track.parameter->setRegisterValue(raw);
    puttingBack = outer;
    track.lastRaw = track.parameter->getRegisterValue();
    restAt(track, track.lastRaw);
    Pending& noted = pending[address];
    if (!noted.fromFile && !noted.entered && !noted.refused) {
        noted.raw = notPutBackTo;
        noted.keptBack = true;
    }
}

void MovedValues::noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits)
{
    if (!tracks.contains(address))
        return;
    Pending value{fileRaw, true, false};
    value.digits = fileDigits;
    notePending(address, value);
}

void MovedValues::noteEnteredValue(int address, int enteredRaw)
{
    if (tracks.contains(address) && address != puttingBack)
        notePending(address, {enteredRaw, false, true});
}

void MovedValues::noteHeldByOrder(int address)
{
    const auto noted = pending.find(address);
    if (noted != pending.end() && !noted->fromFile && !noted->entered && !noted->refused)
        noted->byOrder = true;
}

void MovedValues::noteRefusedValue(int address, double entered)
{
    if (!tracks.contains(address))
        return;
    Pending value;
    value.refused = true;
    value.display = entered;
    notePending(address, value);
}

void MovedValues::holdReport(bool held, bool backAtStart)
{
    if (held == reportHeld)
        return;
    if (held)
        noteDragStart();
    else if (backAtStart)
        putBackDragStart();
    reportHeld = held;
    storedWhileHeld.clear();
    if (!held && (!pending.isEmpty() || !putBackFrom.isEmpty()))
        queueReport();
}

void MovedValues::noteDragStart()
{
    dragStart.tracks = tracks;
    dragStart.raws.clear();
    for (auto it = tracks.constBegin(); it != tracks.constEnd(); ++it)
        dragStart.raws.insert(it.key(), it->parameter->getRegisterValue());
    dragStart.pending = pending;
    dragStart.pushed = pushed;
}

// Every register the drag changed, by its own value or a push, takes its
// value from before again, and is followed as it was then.
void MovedValues::putBackDragStart()
{
    for (auto it = dragStart.raws.constBegin(); it != dragStart.raws.constEnd(); ++it) {
        const auto track = tracks.find(it.key());
        if (track == tracks.end() || track->parameter->getRegisterValue() == it.value())
            continue;
        putBackOrigin(it.key(), *track, it.value());
    }
    tracks = dragStart.tracks;
    for (Track& track : tracks)
        track.lastRaw = track.parameter->getRegisterValue();
    pending = dragStart.pending;
    pushed = dragStart.pushed;
    putBackFrom.clear();
}

// Told with its origin, the value last set for it (not where an earlier
// move left it), and left out where the action leaves it at its rest: in a
// drag, as both were as it began.
void MovedValues::noteMove(int address, const Track& track, bool byOrder)
{
    const Track& before = reportHeld ? dragStart.tracks.value(address, track) : track;
    Pending move;
    move.raw = before.origin;
    move.rest = before.rest;
    move.byOrder = byOrder;
    notePending(address, move);
}

// A value the action gave keeps its place; a move, the first value before,
// and whether an order moved it.
void MovedValues::notePending(int address, const Pending& value)
{
    const bool given = value.fromFile || value.entered || value.refused;
    const auto noted = pending.find(address);
    if (given || noted == pending.end())
        pending.insert(address, value);
    else if (!noted->fromFile && !noted->entered && !noted->refused)
        noted->byOrder = noted->byOrder || value.byOrder;
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
    keepOrdersOfPutBacks();
    QList<MovedValue> moves;
    for (auto it = pending.constBegin(); it != pending.constEnd(); ++it) {
        const Track& track = tracks[it.key()];
        const Parameter* parameter = track.parameter;
        if (!it->fromFile && !it->entered && !it->refused && !it->keptBack
            && parameter->getRegisterValue() == it->rest)
            continue; // back where it was
        MovedValue move;
        move.address = it.key();
        if (it->refused)
            move.before = it->display;
        else if (it->fromFile)
            move.before = parameter->toldValue(it->raw);
        else
            move.before = parameter->unlimitedValue(it->raw);
        move.after = parameter->getValue();
        move.rawBefore = it->raw;
        move.rawAfter = parameter->getRegisterValue();
        move.fromFile = it->fromFile;
        move.entered = it->entered || it->refused;
        move.refused = it->refused;
        move.keptBack = it->keptBack;
        move.byOrder = it->byOrder;
        move.beforeDigits = it->digits;
        // A file's value the register cannot hold (-1 in an unsigned one)
        // is told however close to the limit it shows.
        if (move.fromFile && sameDisplayValue(move.before, move.after)
            && it->raw != parameter->getRegisterValue())
            move.before = parameter->unroundedValue(it->raw);
        if (!sameDisplayValue(move.before, move.after))
            moves.append(move);
    }
    pending.clear();
    if (!moves.isEmpty())
        emit valuesMoved(moves);
}

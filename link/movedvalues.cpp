#include "movedvalues.h"

#include "kelvara.h"
#include "parameter.h"

#include <QScopedValueRollback>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

// What a moved register is told against where no value was given.
const int controllerReference = -1;

// Enough for the ways of any limit back and forth.
const int maxToldStandings = 32;

bool sameDisplayValue(double a, double b)
{
    return a == b || std::fabs(a - b) * 1000000000000.0 <= qMin(std::fabs(a), std::fabs(b));
}

} // namespace

bool MovedValues::Standing::operator==(const Standing& other) const
{
    return held == other.held && reference == other.reference && given == other.given
        && order == other.order && cause == other.cause && written == other.written;
}

MovedValues::MovedValues(Kelvara* model)
    : QObject(model)
    , model(model)
{
    qRegisterMetaType<QList<MovedValue>>();
}

Parameter* MovedValues::parameter(int address) const
{
    return model->getParameter(address);
}

bool MovedValues::isDerived(int address)
{
    if (!familyFound)
        findFamily();
    return familySet.contains(address);
}

// The writable registers whose formulas refer to others, the writable ones
// they refer to, and every register of an order.
void MovedValues::findFamily()
{
    familyFound = true;
    family.clear();
    familySet.clear();
    const QVector<int> members = model->orders().members();
    orderMembers = QSet<int>(members.begin(), members.end());
    QSet<int> wanted = orderMembers;
    const QMap<int, Parameter*> parameters = model->getAllParameters();
    for (Parameter* candidate : parameters) {
        if (!candidate->isWriteable() || !candidate->isValid())
            continue;
        const QList<Parameter*> references = candidate->referencedParameters();
        if (references.isEmpty())
            continue;
        wanted.insert(candidate->getAddress());
        for (const Parameter* reference : references) {
            if (reference->isWriteable() && reference->isValid())
                wanted.insert(reference->getAddress());
        }
    }
    QList<int> addresses = wanted.values();
    std::sort(addresses.begin(), addresses.end());
    QSet<int> visiting;
    for (const int address : qAsConst(addresses))
        addToFamily(address, &visiting);
    for (const int address : qAsConst(addresses)) {
        if (!familySet.contains(address))
            orderMembers.remove(address); // no register of this model
    }
    findOrderGroups();
}

// The registers each one keeps an order with, by way of others too.
void MovedValues::findOrderGroups()
{
    orderGroups.clear();
    for (const int member : qAsConst(orderMembers)) {
        QVector<int> group{member};
        for (int k = 0; k < group.size(); ++k) {
            const QVector<ValueOrders::Order> orders = model->orders().ordersOf(group.at(k));
            for (const ValueOrders::Order& order : orders) {
                for (const int other : order.addresses) {
                    if (!group.contains(other))
                        group.append(other);
                }
            }
        }
        orderGroups.insert(member, group);
    }
}

// After the registers its formulas refer to.
void MovedValues::addToFamily(int address, QSet<int>* visiting)
{
    Parameter* member = parameter(address);
    if (familySet.contains(address) || visiting->contains(address) || !member->isValid()
        || member->getAddress() != address)
        return;
    visiting->insert(address);
    const QList<Parameter*> references = member->referencedParameters();
    for (const Parameter* reference : references) {
        if (reference->isWriteable())
            addToFamily(reference->getAddress(), visiting);
    }
    family.append(address);
    familySet.insert(address);
}

QVector<int> MovedValues::dependentsOf(int address)
{
    if (!familyFound)
        findFamily();
    QVector<int> dependents;
    Parameter* changed = parameter(address);
    for (const int member : qAsConst(family)) {
        if (member != address && parameter(member)->referencedParameters().contains(changed))
            dependents << member;
    }
    return dependents;
}

void MovedValues::give(int address, const GivenValues::Value& value)
{
    given.give(address, value);
    due = true;
}

void MovedValues::forget(int address)
{
    given.forget(address);
    if (isDerived(address))
        due = true;
}

void MovedValues::settleAll()
{
    given.clear();
    told.clear();
    notes.clear();
    ownRaws.clear();
    derivedRaws.clear();
    due = false;
    toldThrough = given.lastOrder();
}

void MovedValues::deriveIfDue()
{
    if (due && !deriving)
        derive();
}

void MovedValues::derive()
{
    if (!familyFound)
        findFamily();
    due = false;
    QHash<int, int> before;
    for (const int address : qAsConst(family))
        before.insert(address, parameter(address)->getRegisterValue());
    {
        const QScopedValueRollback<bool> guard(deriving, true);
        QVector<int> limited;
        for (const int address : qAsConst(family)) {
            bool moved = false;
            placeOwnValue(address, &moved);
            if (moved && orderMembers.contains(address))
                limited << address;
        }
        for (const int address : qAsConst(limited))
            settle(address);
        const QVector<int> inOrder = given.inOrderOfGiving();
        for (const int address : inOrder) {
            if (!orderMembers.contains(address))
                continue;
            placeOwnValue(address, nullptr);
            settle(address);
        }
    }
    for (const int address : qAsConst(family)) {
        const int raw = parameter(address)->getRegisterValue();
        derivedRaws.insert(address, raw);
        model->refreshMark(address, raw != before.value(address));
    }
    queueReport();
}

// The value given, held at its limits, or the controller's: as it holds it
// unless the limits now in force move it. Always from the controller's, so
// that a value set that shows as the controller's takes its very raw value.
void MovedValues::placeOwnValue(int address, bool* limited)
{
    Parameter* placed = parameter(address);
    const int held = model->controllerValue(address);
    placed->setRegisterValueUnlimited(held);
    const QVector<int> references = model->referredValues(address, false);
    if (const GivenValues::Value* value = given.find(address)) {
        placeGivenValue(placed, *value, references);
    } else if (!placed->isWithinLimits(held) && movedByLimits(address, references)) {
        placed->setRegisterValue(held);
        if (limited)
            *limited = true;
    }
    ownRaws.insert(address, placed->getRegisterValue());
}

// A controller's value beyond the limits now, that stood within them with
// the values it was held with: the values that changed since moved it. One
// beyond them then is the controller's own, and stays as it holds it.
bool MovedValues::movedByLimits(int address, const QVector<int>& references) const
{
    const Kelvara::HeldMeaning meaning = model->controllerMeaning(address);
    return meaning.withinLimits && references != meaning.references;
}

void MovedValues::placeGivenValue(Parameter* placed, const GivenValues::Value& value,
                                  const QVector<int>& references)
{
    switch (value.kind) {
    case GivenValues::Typed:
    case GivenValues::Dragged:
        placed->setValue(value.display);
        break;
    case GivenValues::FromFile:
        placed->setRegisterValue(value.raw);
        break;
    case GivenValues::Restored:
        // As the controller held it, where its references are as they were.
        if (placed->isWithinLimits(value.raw) || references == value.context)
            placed->setRegisterValueUnlimited(value.raw);
        else
            placed->setRegisterValue(value.raw);
        break;
    }
}

// A register that holds the controller's value leaves its orders to the
// controller's own values, unless they break one further than those do.
void MovedValues::settle(int address)
{
    const QVector<ValueOrders::Order> orders = model->orders().ordersOf(address);
    if (holdsControllerValue(address)
        && std::none_of(orders.begin(), orders.end(),
                        [this](const ValueOrders::Order& order) { return breaksFurther(order); }))
        return;
    Parameter::setSetByRule(true);
    for (const ValueOrders::Order& order : orders) {
        if (order.settle)
            order.settle(address);
    }
    Parameter::setSetByRule(false);
}

// The very raw value, or within the limits one that shows as it does.
bool MovedValues::holdsControllerValue(int address) const
{
    const Parameter* held = parameter(address);
    const int controllerRaw = model->controllerValue(address);
    return held->getRegisterValue() == controllerRaw
        || (held->isWithinLimits(controllerRaw)
            && held->asValue(held->getRegisterValue()) == held->asValue(controllerRaw));
}

// Each value as the controller would mean it, also beyond the limits.
bool MovedValues::breaksFurther(const ValueOrders::Order& order) const
{
    const ValueOrders::ValueOf page = [this](int address) {
        const Parameter* held = parameter(address);
        return held->unlimitedValue(held->getRegisterValue());
    };
    const ValueOrders::ValueOf controller = [this](int address) {
        return parameter(address)->unlimitedValue(model->controllerValue(address));
    };
    return !ValueOrders::keeps(order.shortfall(page) - qMax(0.0, order.shortfall(controller)));
}

// Only a value worked out here: one stored since by other means stands as
// it was set.
bool MovedValues::isMoved(int address) const
{
    const int raw = parameter(address)->getRegisterValue();
    const auto derived = derivedRaws.constFind(address);
    return derived != derivedRaws.constEnd() && *derived == raw && differsFromOwn(address, raw);
}

// raw is not the value given, or else the controller's: a value given as
// shown, where it shows otherwise.
bool MovedValues::differsFromOwn(int address, int raw) const
{
    const GivenValues::Value* value = given.find(address);
    if (value && value->isDisplayValue()) {
        const Parameter* held = parameter(address);
        return std::fabs(held->asValue(raw) - value->display)
            >= 0.5 * std::pow(10.0, -held->numDecimals());
    }
    return raw != (value ? value->raw : model->controllerValue(address));
}

// A value given as shown is told against what the page shows, the others
// against their raw values; and whether Save writes it.
MovedValues::Standing MovedValues::standingOf(int address) const
{
    const Parameter* held = parameter(address);
    Standing standing;
    standing.held = held->getRegisterValue();
    standing.written = model->getUnsavedValues().contains(address);
    if (const GivenValues::Value* value = given.find(address)) {
        standing.reference = value->kind;
        standing.given = value->isDisplayValue() ? value->display : value->raw;
        standing.order = value->order;
        if (value->isDisplayValue())
            standing.held = held->getValue();
    } else {
        standing.reference = controllerReference;
        standing.given = model->controllerValue(address);
    }
    // The last value given among those that moved it: by an order, those
    // of the values kept in it; by a limit, those the limit refers to.
    const int raw = held->getRegisterValue();
    if (raw != ownRaws.value(address, raw)) {
        const QVector<int> group = orderGroups.value(address);
        for (const int member : group)
            standing.cause = qMax(standing.cause, causeOf(member));
    }
    standing.cause = qMax(standing.cause, causeOf(address));
    return standing;
}

// The register's own value given, or the values its limits refer to where
// they moved it.
quint64 MovedValues::causeOf(int address) const
{
    const GivenValues::Value* value = given.find(address);
    quint64 cause = value ? value->order : 0;
    const int raw = parameter(address)->getRegisterValue();
    if (differsFromOwn(address, ownRaws.value(address, raw)))
        cause = qMax(cause, lastGivenOf(model->referredAddresses(address)));
    return cause;
}

quint64 MovedValues::lastGivenOf(const QVector<int>& addresses) const
{
    quint64 last = 0;
    for (const int address : addresses) {
        if (const GivenValues::Value* value = given.find(address))
            last = qMax(last, value->order);
    }
    return last;
}

// What the register holds against the value given, or the controller's.
// A value given in the action is told as entered, or as the file's; not
// one typed or dragged that its own limits alone hold, which its row and
// its node show at once.
bool MovedValues::tellMove(int address, MovedValue* move) const
{
    const Parameter* held = parameter(address);
    const int raw = held->getRegisterValue();
    const GivenValues::Value* value = given.find(address);
    const bool justGiven = value && value->order > toldThrough;
    move->address = address;
    move->after = held->getValue();
    move->rawAfter = raw;
    move->byOrder = raw != ownRaws.value(address, raw);
    if (!value) {
        move->rawBefore = model->controllerValue(address);
        move->before = held->unlimitedValue(move->rawBefore);
        return true;
    }
    if (value->isDisplayValue()) {
        if (justGiven && !move->byOrder)
            return false;
        move->before = value->display;
        if (!held->rawFromDisplay(value->display, &move->rawBefore))
            move->rawBefore = raw;
        move->entered = justGiven;
        return true;
    }
    if (justGiven && value->kind == GivenValues::Restored)
        return false;
    move->rawBefore = value->raw;
    move->fromFile = justGiven && value->kind == GivenValues::FromFile;
    move->before = move->fromFile ? held->toldValue(value->raw) : held->unlimitedValue(value->raw);
    if (move->fromFile) {
        move->beforeDigits = value->digits;
        // A value the register cannot hold (-1 in an unsigned one) is told
        // however close to the limit it shows.
        if (sameDisplayValue(move->before, move->after))
            move->before = held->unroundedValue(value->raw);
    }
    return true;
}

void MovedValues::noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits)
{
    Note note;
    note.raw = fileRaw;
    note.digits = fileDigits;
    notes.insert(address, note);
    queueReport();
}

void MovedValues::noteRefusedValue(int address, double entered)
{
    Note note;
    note.refused = true;
    note.entered = entered;
    notes.insert(address, note);
    queueReport();
}

void MovedValues::holdReport(bool held, bool backAtStart)
{
    if (held == reportHeld)
        return;
    if (held) {
        dragStart.given = given;
        dragStart.raws.clear();
        const QMap<int, Parameter*> parameters = model->getAllParameters();
        for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it)
            dragStart.raws.insert(it.key(), it.value()->getRegisterValue());
    } else if (backAtStart) {
        putBackDragStart();
    }
    reportHeld = held;
    if (held)
        return;
    // Rules a drag leaves aside while it is under way settle its values now.
    if (model->isValid())
        derive();
    queueReport();
}

// The values given as the drag began; a register outside the ones worked
// out here takes back its value as it was.
void MovedValues::putBackDragStart()
{
    given = dragStart.given;
    for (auto it = dragStart.raws.constBegin(); it != dragStart.raws.constEnd(); ++it) {
        if (!familySet.contains(it.key()) && parameter(it.key())->getRegisterValue() != it.value())
            model->setEditToControllerValue(it.key(), it.value());
    }
}

void MovedValues::queueReport()
{
    if (reportQueued || reportHeld)
        return;
    reportQueued = true;
    QMetaObject::invokeMethod(
        this, [this] { report(); }, Qt::QueuedConnection);
}

// Each value moved once for each way it stands, by the values given that
// moved it: set back to stand as it stood (a rated voltage there and
// back), it is not told again; moved again by a value given since, it is.
void MovedValues::report()
{
    reportQueued = false;
    if (reportHeld)
        return;
    QList<MovedValue> moves;
    for (const int address : qAsConst(family)) {
        if (!isMoved(address))
            continue;
        const Standing standing = standingOf(address);
        QVector<Standing>& toldOfIt = told[address];
        if (toldOfIt.contains(standing))
            continue;
        if (toldOfIt.size() >= maxToldStandings)
            toldOfIt.removeFirst();
        toldOfIt.append(standing);
        MovedValue move;
        if (tellMove(address, &move))
            moves << move;
    }
    reportNotes(&moves);
    toldThrough = given.lastOrder();
    if (!moves.isEmpty())
        emit valuesMoved(moves);
}

void MovedValues::reportNotes(QList<MovedValue>* moves)
{
    for (auto it = notes.constBegin(); it != notes.constEnd(); ++it) {
        const Parameter* held = parameter(it.key());
        MovedValue move;
        move.address = it.key();
        move.after = held->getValue();
        move.rawAfter = held->getRegisterValue();
        if (it->refused) {
            move.before = it->entered;
            move.entered = true;
            move.refused = true;
        } else {
            if (held->getRegisterValue() == it->raw)
                continue; // the file's value stands after all
            move.fromFile = true;
            move.rawBefore = it->raw;
            move.beforeDigits = it->digits;
            move.before = held->toldValue(it->raw);
            if (sameDisplayValue(move.before, move.after))
                move.before = held->unroundedValue(it->raw);
        }
        if (!sameDisplayValue(move.before, move.after))
            moves->append(move);
    }
    notes.clear();
}

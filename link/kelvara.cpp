#include "kelvara.h"

#include "bitvector.h"
#include "enumparameter.h"
#include "formulaparser.h"
#include "numericconversion.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "parameterdefinition.h"
#include "parameterlibrary.h"
#include "stdoutline.h"

#include <QScopedValueRollback>

#include <cmath>

namespace {

// Display values count as equal within the relative tolerance for doubles;
// a zero on one side equals only an exact zero.
bool sameDisplayValue(double a, double b)
{
    return std::fabs(a - b) * 1000000000000.0 <= qMin(std::fabs(a), std::fabs(b));
}

// A value set as it stands (typed, a file's, dragged) is what Save writes:
// it matches only the very raw value the controller holds, also where both
// show alike. One the suite moved by itself (worked out again under a new
// scale) still matches where it shows as the controller's does; a saved
// value beyond the present limits shows as the limit, which is not what the
// controller holds, so only that very raw value matches it.
bool matchesSaved(const Parameter* parameter, int savedRaw, bool setAsItStands)
{
    if (parameter->getRegisterValue() == savedRaw)
        return true;
    return !setAsItStands && parameter->isWithinLimits(savedRaw)
        && sameDisplayValue(parameter->getValue(), parameter->asValue(savedRaw));
}

// The last register a read of all parameters brings in.
const int lastReadAllAddress = 510;

bool sameBit(int a, int b, int bit)
{
    return ((a >> bit) & 1) == ((b >> bit) & 1);
}

} // namespace

Kelvara::Kelvara(QObject* parent, const QString& definitionPath, const QString& definitionV6Path)
    : QObject(parent)
    , controllerTypes(ControllerType::table())
    , currentType(controllerTypes.constFirst())
{
    bodLibrary = new ParameterLibrary(definitionPath);
    bodParameters = buildParameters(bodLibrary);
    bodV6Library = new ParameterLibrary(definitionV6Path);
    bodV6Parameters = buildParameters(bodV6Library);

    invalidDefinition = new ParameterDefinition(
        QStringLiteral("invalid"), 0, 0, QStringLiteral("1"), QString(), QString(), QString(),
        QStringLiteral("0"), 0, false, false, false, false, nullptr, nullptr,
        ParameterDefinition::TypeIndependent, 3, 1.0, QString());
    invalidParameter = new Parameter(invalidDefinition);

    FormulaParser(bodParameters).parseAllFormulas();
    FormulaParser(bodV6Parameters).parseAllFormulas();

    activeParameters = bodParameters;
    if (activeParameters.isEmpty()) {
        printStdoutLine(QStringLiteral("The parameter definitions from %1 did not load: "
                                       "every register reads as \"invalid\".")
                            .arg(definitionPath));
    }

    for (auto it = activeParameters.constBegin(); it != activeParameters.constEnd(); ++it) {
        const int address = it.key();
        controllerRamValues.insert(address, it.value()->getRegisterValue());
        connect(
            it.value(), &Parameter::valueChanged, this,
            [this, address] { parameterChanged(address); }, Qt::DirectConnection);
        connect(
            it.value(), &Parameter::valueRefused, this,
            [this, address](double value) { tellRefusedValue(address, value); },
            Qt::DirectConnection);
        connect(
            it.value(), &Parameter::valueGiven, this,
            [this, address](double value) { takeGivenValue(address, value); },
            Qt::DirectConnection);
        connect(it.value(), &Parameter::storesEnded, this, &Kelvara::deriveIfDue,
                Qt::DirectConnection);
    }
    movedValues = new MovedValues(this);
    connect(movedValues, &MovedValues::valuesMoved, this, &Kelvara::valuesMoved);
}

Kelvara::~Kelvara()
{
    // Parameters first: they point at definitions owned by the libraries.
    delete invalidParameter;
    delete invalidDefinition;
    qDeleteAll(bodParameters);
    qDeleteAll(bodV6Parameters);
    delete bodLibrary;
    delete bodV6Library;
}

QMap<int, Parameter*> Kelvara::buildParameters(ParameterLibrary* library)
{
    QMap<int, Parameter*> parameters;
    const QMap<int, ParameterDefinition*> definitions = library->getAllDefinitions();
    for (ParameterDefinition* definition : definitions) {
        Parameter* parameter = nullptr;
        switch (definition->getType()) {
        case ParameterDefinition::TypeBitVector:
            parameter = new BitVector(definition);
            break;
        case ParameterDefinition::TypeEnum:
            parameter = new EnumParameter(definition);
            break;
        default:
            parameter = new Parameter(definition);
            break;
        }
        parameters.insert(definition->getAddress(), parameter);
    }
    return parameters;
}

Parameter* Kelvara::getParameter(int address) const
{
    Parameter* parameter = activeParameters.value(address, nullptr);
    if (!parameter || !parameter->isValid())
        return invalidParameter;
    return parameter;
}

QMap<QString, QPair<int, int>> Kelvara::getAllNames() const
{
    QMap<QString, QPair<int, int>> names;
    const bool extendedRegisters = currentType.firmware > 5999;
    for (auto it = activeParameters.constBegin(); it != activeParameters.constEnd(); ++it) {
        const int address = it.key();
        Parameter* parameter = it.value();
        if (parameter->getType() == ParameterDefinition::TypeBitVector) {
            const QMap<int, QString>* labels = static_cast<BitVector*>(parameter)->getBitDefs();
            if (!labels)
                continue;
            for (auto bit = labels->constBegin(); bit != labels->constEnd(); ++bit) {
                // Concatenated rather than chained arg(), which would expand
                // a "%2" inside a name or label.
                const QString key = parameter->getName() + QLatin1Char('[')
                    + QStringLiteral("%1").arg(bit.key(), 2, 10, QLatin1Char('0'))
                    + QStringLiteral("]: ") + bit.value();
                names.insert(key, qMakePair(address, bit.key()));
            }
        } else if (extendedRegisters || address < 512) {
            names.insert(parameter->getName(), qMakePair(address, -1));
        }
    }
    return names;
}

void Kelvara::setValid(bool isValidNow)
{
    valid = isValidNow;
    Parameter::setRecomputationKeepsRaw(takingControllerValues || valid);
    // Everything was just read: each value is the controller's own.
    if (valid) {
        movedValues->settleAll();
        settleReadControllerFlashValues();
    }
    emit validated(valid);
}

// The values the registers were read with are one controller's: a register
// stored before its identity showed which one is saved once its RAM holds
// its flash value.
void Kelvara::settleReadControllerFlashValues()
{
    const QList<int> addresses = controllerFlashValues.keys();
    for (const int address : addresses) {
        if (address > lastReadAllAddress)
            continue;
        settleControllerFlashValue(address);
        if (!controllerFlashValues.contains(address))
            parameterChanged(address);
    }
}

// From the first read on, the model works out what limits do to values
// (MovedValues): a recomputation keeps the raw value and only tells what it
// means now.
void Kelvara::setTakingControllerValues(bool taking)
{
    const bool ended = takingControllerValues && !taking;
    takingControllerValues = taking;
    Parameter::setRecomputationKeepsRaw(taking || valid);
    if (ended)
        deriveIfDue();
}

// Once no store is under way, nor are the controller's values being taken.
void Kelvara::deriveIfDue()
{
    if (valid && !takingControllerValues && !Parameter::outermostStore())
        movedValues->deriveIfDue();
}

// A value set on its own (typed, chosen) for a register whose value is
// worked out: the user's, as set.
void Kelvara::takeGivenValue(int address, double value)
{
    if (!valid || takingControllerValues || movedValues->isDeriving() || address == draggedAddress
        || !movedValues->isDerived(address))
        return;
    GivenValues::Value given;
    given.kind = GivenValues::Typed;
    given.display = value;
    movedValues->give(address, given);
}

void Kelvara::setDraggedValue(int address, double value)
{
    if (movedValues->isDeriving())
        return; // a node placed anew as the values are worked out
    Parameter* parameter = getParameter(address);
    if (valid && !takingControllerValues && movedValues->isDerived(address)) {
        GivenValues::Value given;
        given.kind = GivenValues::Dragged;
        given.display = parameter->roundValue(value);
        movedValues->give(address, given);
    }
    const QScopedValueRollback<int> guard(draggedAddress, address);
    parameter->setValue(value);
}

void Kelvara::setFileValue(int address, int raw, const QString& fileDigits)
{
    Parameter* parameter = getParameter(address);
    if (valid && !takingControllerValues && movedValues->isDerived(address)) {
        GivenValues::Value given;
        given.kind = GivenValues::FromFile;
        given.raw = parameter->clampToRegisterWidth(raw);
        given.digits = fileDigits;
        movedValues->give(address, given);
    }
    parameter->setRegisterValue(raw);
}

// The controller's value is the register's own; another one (its flash
// value put back) is given to it as the controller holds it.
void Kelvara::takeHeldValue(int address, int raw)
{
    giveHeldValue(address, raw, referredValues(address, false));
}

// raw as a controller held it, with these values of the registers its
// formulas refer to; the controller's value now is the register's own.
void Kelvara::giveHeldValue(int address, int raw, const QVector<int>& context)
{
    if (!valid || movedValues->isDeriving() || !movedValues->isDerived(address))
        return;
    if (raw == controllerValue(address)) {
        movedValues->forget(address);
        return;
    }
    GivenValues::Value given;
    given.kind = GivenValues::Restored;
    given.raw = raw;
    given.context = context;
    movedValues->give(address, given);
}

// A save to flash: the values the controller holds now that the page
// shows are its own, as though read.
void Kelvara::forgetGivenValuesHeld()
{
    if (!valid)
        return;
    movedValues->forgetTold();
    const QMap<int, Parameter*> parameters = activeParameters;
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const int address = it.key();
        if (!movedValues->isDerived(address)
            || it.value()->getRegisterValue() != controllerValue(address))
            continue;
        movedValues->forget(address);
        noteControllerMeaning(address, true);
    }
}

int Kelvara::controllerValue(int address) const
{
    return controllerRamValues.value(address, getParameter(address)->getRegisterValue());
}

QVector<int> Kelvara::referredValues(int address, bool controllers) const
{
    QVector<int> values;
    const QList<Parameter*> references = getParameter(address)->referencedParameters();
    for (const Parameter* reference : references) {
        values.append(controllers ? controllerValue(reference->getAddress())
                                  : reference->getRegisterValue());
    }
    return values;
}

QVector<int> Kelvara::referredAddresses(int address) const
{
    QVector<int> addresses;
    const QList<Parameter*> references = getParameter(address)->referencedParameters();
    for (const Parameter* reference : references)
        addresses.append(reference->getAddress());
    return addresses;
}

Kelvara::HeldMeaning Kelvara::controllerMeaning(int address) const
{
    const auto it = controllerMeanings.constFind(address);
    if (it != controllerMeanings.constEnd())
        return *it;
    return {referredValues(address, true), true};
}

// With the values of the registers it refers to, the controller's or the
// page's, as they are now.
void Kelvara::noteControllerMeaning(int address, bool controllers)
{
    const Parameter* parameter = getParameter(address);
    controllerMeanings.insert(address,
                              {referredValues(address, controllers),
                               parameter->isWithinLimits(controllerValue(address))});
}

int Kelvara::rawToWrite(int address) const
{
    const Parameter* parameter = getParameter(address);
    if (!parameter)
        return 0;
    const int edit = parameter->getRegisterValue();
    if (!valid || unsavedValues.contains(address) || !controllerRamValues.contains(address))
        return edit;
    return controllerRamValues.value(address);
}

void Kelvara::noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits)
{
    if (valid && !movedValues->isDerived(address))
        movedValues->noteLimitedFileValue(address, fileRaw, fileDigits);
}

void Kelvara::holdMovedValuesReport(bool held)
{
    movedValues->holdReport(held);
}

// A value entered that the register could not take is told, not dropped.
void Kelvara::tellRefusedValue(int address, double value)
{
    if (valid && !takingControllerValues && !movedValues->isDeriving())
        movedValues->noteRefusedValue(address, value);
}

// A bit is unsaved when it differs from the controller's, or the
// controller's differs from its flash.
void Kelvara::emitBitMarks(int address, int value, int savedRaw)
{
    const int flashRaw = controllerFlashValues.value(address, savedRaw);
    for (int bit = 0; bit < 16; ++bit)
        emit parameterIsOriginal(address, bit,
                                 sameBit(value, savedRaw, bit) && sameBit(savedRaw, flashRaw, bit));
}

void Kelvara::parameterChanged(int addr)
{
    // While the page's values are worked out, their marks follow at the end.
    if (!valid || movedValues->isDeriving())
        return;
    Parameter* parameter = getParameter(addr);
    if (differsFromController(addr)) {
        markUnsaved(addr);
        return;
    }

    unsavedValues.remove(addr);
    if (parameter->getType() == ParameterDefinition::TypeBitVector) {
        for (int bit = 0; bit < 16; ++bit)
            emit parameterIsOriginal(addr, bit, true);
    } else {
        emit parameterIsOriginal(addr, -1, true);
    }
}

bool Kelvara::differsFromController(int address) const
{
    return controllerFlashValues.contains(address)
        || !matchesSaved(getParameter(address), controllerRamValues.value(address, 0),
                         !movedValues->isMoved(address));
}

void Kelvara::refreshMark(int address, bool changed)
{
    if (changed || differsFromController(address) != unsavedValues.contains(address))
        parameterChanged(address);
}

void Kelvara::markUnsaved(int address)
{
    Parameter* parameter = getParameter(address);
    const int whole = truncateToInt(parameter->getValue());
    unsavedValues.insert(address, whole);
    if (parameter->getType() == ParameterDefinition::TypeBitVector)
        emitBitMarks(address, whole, controllerRamValues.value(address, 0));
    else
        emit parameterIsOriginal(address, -1, false);
}

void Kelvara::setControllerRamToEdit(int address)
{
    unsavedValues.remove(address);
    Parameter* parameter = getParameter(address);
    const int raw = parameter->getRegisterValue();
    noteControllerRamValue(address, raw);
    // Written as the page meant it.
    noteControllerMeaning(address, false);
    settleControllerFlashValue(address);
    // The controller's value is not in flash yet: still unsaved.
    if (controllerFlashValues.contains(address)) {
        markUnsaved(address);
        return;
    }

    if (parameter->getType() == ParameterDefinition::TypeBitVector)
        emitBitMarks(address, truncateToInt(parameter->getValue()), raw);
    emit parameterIsOriginal(address, -1, true);
    // Nothing writes these registers: a new value comes from another controller.
    if (ControllerIdentity::isIdentityRegister(address)) {
        dropFirstReadValuesOfAnotherController();
        followControllerFlashValues();
    }
}

void Kelvara::setControllerRamFromRead(int address, int raw)
{
    Parameter* parameter = getParameter(address);
    if (!parameter)
        return;
    // The page's values are worked out once the controller holds this one.
    const bool wasTaking = takingControllerValues;
    setTakingControllerValues(true);
    const int edit = parameter->getRegisterValue();
    // A mark over the controller's own value (not in its flash, or a
    // controller's marks taken back as its identity is read) is no edit.
    const bool edited = unsavedValues.contains(address)
        && (!controllerRamValues.contains(address) || controllerRamValues.value(address) != edit);
    const bool replacesKept = keptMarks.readReplaces(address, raw, shownKeptValue(address, edit));
    // As the controller holds it, also beyond the limits: shown as the
    // limit, sent back unchanged. The registers it limits or scales keep
    // their raw values too: they are the controller's, or the user's edits.
    setEditToControllerValue(address, raw);
    const bool replacesEdit = edited && parameter->getRegisterValue() != edit;
    setControllerRamToEdit(address);
    takeReadValue(address);
    if (replacesEdit)
        emit unsavedValueReplaced(address);
    else if (edited && !unsavedValues.contains(address))
        emit unsavedValueMatched(address);
    if (replacesKept)
        emit keptValueReplaced(address);
    setTakingControllerValues(wasTaking);
}

// The register, and each one whose formulas refer to it, is held as the
// controller means it now: both values are the controller's.
void Kelvara::takeReadValue(int address)
{
    noteControllerMeaning(address, true);
    if (!valid || !movedValues->isDerived(address))
        return;
    movedValues->forget(address);
    movedValues->noteControllerChange();
    const QVector<int> dependents = movedValues->dependentsOf(address);
    for (const int dependent : dependents)
        noteControllerMeaning(dependent, true);
}

// The register is kept marked for the controller shown, outside its flash,
// and the page shows the value its RAM was taken to hold.
std::optional<int> Kelvara::shownKeptValue(int address, int edit) const
{
    if (controllerFlashValues.contains(address) && controllerRamValues.contains(address)
        && controllerRamValues.value(address) == edit)
        return edit;
    return std::nullopt;
}

void Kelvara::setEditToControllerValue(int address, int raw)
{
    takeHeldValue(address, raw);
    const bool wasTaking = takingControllerValues;
    setTakingControllerValues(true);
    getParameter(address)->setRegisterValueUnlimited(raw);
    setTakingControllerValues(wasTaking);
}

void Kelvara::setControllerRamValue(int address, int raw)
{
    noteControllerRamValue(address, raw);
    settleControllerFlashValue(address);
    parameterChanged(address);
}

// The parameter knows it too: a value set back to what it shows takes it.
void Kelvara::noteControllerRamValue(int address, int raw)
{
    controllerRamValues.insert(address, raw);
    keptMarks.forgetDue(address);
    if (Parameter* parameter = activeParameters.value(address))
        parameter->setHeldValue(raw);
}

void Kelvara::setControllerWrittenValue(int address, int raw, int flashRaw)
{
    noteControllerRamValue(address, raw);
    noteControllerMeaning(address, false);
    noteControllerFlashValue(address, flashRaw);
    parameterChanged(address);
}

void Kelvara::setControllerFlashValue(int address, int flashRaw)
{
    noteControllerFlashValue(address, flashRaw);
    parameterChanged(address);
}

void Kelvara::noteControllerFlashValue(int address, int flashRaw)
{
    if (controllerFlashValues.isEmpty())
        controllerFlashIdentity = ControllerIdentity::of(this);
    if (!controllerFlashValues.contains(address))
        controllerFlashValues.insert(address, flashRaw);
    settleControllerFlashValue(address);
}

// Once the controller holds its flash value again, nothing is left to save.
void Kelvara::settleControllerFlashValue(int address)
{
    if (controllerFlashValues.contains(address)
        && controllerFlashValues.value(address) == controllerRamValues.value(address))
        controllerFlashValues.remove(address);
}

void Kelvara::setControllerFlashToRam()
{
    forgetControllerFlashValues();
    forgetGivenValuesHeld();
}

void Kelvara::forgetControllerFlashValues()
{
    const QList<int> addresses = controllerFlashValues.keys();
    controllerFlashValues.clear();
    keptMarks.forgetDue();
    for (const int address : addresses)
        parameterChanged(address);
}

void Kelvara::setFlashRecoveryValues()
{
    flashRecoveryValues = unsavedValues;
    flashRecoveryRamValues.clear();
    for (auto it = unsavedValues.constBegin(); it != unsavedValues.constEnd(); ++it)
        flashRecoveryRamValues.insert(it.key(), controllerRamValues.value(it.key(), 0));
}

void Kelvara::resetUnsavedValues()
{
    unsavedValues = flashRecoveryValues;
}

void Kelvara::setUnsavedToFlashRecovery()
{
    for (auto it = flashRecoveryValues.constBegin(); it != flashRecoveryValues.constEnd(); ++it) {
        const int address = it.key();
        unsavedValues.insert(address, it.value());
        Parameter* parameter = getParameter(address);
        // Written to the controller's RAM only: its flash holds what it held.
        const int ramBefore = flashRecoveryRamValues.value(address, 0);
        if (parameter->isSavable() && controllerRamValues.value(address, 0) != ramBefore)
            noteControllerFlashValue(address, ramBefore);
        if (parameter->getType() == ParameterDefinition::TypeBitVector)
            emitBitMarks(address, truncateToInt(parameter->getValue()),
                         controllerRamValues.value(address, 0));
        else
            emit parameterIsOriginal(address, -1, false);
    }
}

// A command is never brought back: the first read may have caught the
// controller in the middle of one (a motor test, a firmware load).
bool Kelvara::isRestorable(const Parameter* parameter) const
{
    return !commandParameterAddresses.contains(parameter->getAddress()) && parameter->isWriteable();
}

void Kelvara::saveFirstReadValues()
{
    if (!firstReadValues.isEmpty())
        return;
    for (Parameter* parameter : qAsConst(activeParameters)) {
        if (isRestorable(parameter))
            firstReadValues.insert(parameter->getAddress(), parameter->getRegisterValue());
    }
    firstReadIdentity = ControllerIdentity::of(this);
}

void Kelvara::clearFirstReadValues()
{
    firstReadValues.clear();
    firstReadIdentity = ControllerIdentity();
}

// Restore must never bring one controller's values to another; a read of
// part of the registers cannot give the new one a snapshot of its own.
void Kelvara::dropFirstReadValuesOfAnotherController()
{
    if (firstReadValues.isEmpty()
        || firstReadIdentity.isSameController(ControllerIdentity::of(this)))
        return;
    clearFirstReadValues();
    emit firstReadValuesDropped();
}

// What another controller holds outside its flash says nothing of this one:
// it is put aside until that controller is shown again.
void Kelvara::followControllerFlashValues()
{
    const ControllerIdentity shown = ControllerIdentity::of(this);
    if (!controllerFlashValues.isEmpty()) {
        if (controllerFlashIdentity.isSameController(shown))
            return;
        keptMarks.putAside(controllerFlashIdentity, controllerFlashValues, controllerRamValues);
        forgetControllerFlashValues();
    }
    takeBackControllerFlashValues(shown);
}

// A read settles each register as it stores it; those it stored before the
// identity showed stay outside flash until read or saved again.
void Kelvara::takeBackControllerFlashValues(const ControllerIdentity& identity)
{
    const QMap<int, int> takenBack = keptMarks.takeBack(identity);
    if (takenBack.isEmpty())
        return;
    controllerFlashValues = takenBack;
    controllerFlashIdentity = identity;
    const QList<int> addresses = controllerFlashValues.keys();
    for (const int address : addresses)
        parameterChanged(address);
}

void Kelvara::restoreFirstReadValues()
{
    // Before any successful read there is nothing to go back to; an empty
    // snapshot must not zero every writable register.
    if (firstReadValues.isEmpty())
        return;
    unsavedValues.clear();
    // The controller's own values: widgets follow them as after a read.
    setTakingControllerValues(true);
    for (Parameter* parameter : qAsConst(activeParameters))
        restoreFirstReadValue(parameter);
    setTakingControllerValues(false);
    emit resetTempSensorDropdown();
    emit resetPasDeviceDropdown();
}

// A command typed since goes back to what the controller holds: Restore
// leaves nothing to write that the first read did not hold.
void Kelvara::restoreFirstReadValue(Parameter* parameter)
{
    const int address = parameter->getAddress();
    if (isRestorable(parameter))
        putBackFirstReadValue(parameter);
    else if (commandParameterAddresses.contains(address) && parameter->isWriteable()
             && parameter->getRegisterValue() != controllerRamValues.value(address, 0))
        parameter->setRegisterValueUnlimited(controllerRamValues.value(address, 0));
}

void Kelvara::restoreLevel3FirstReadValues()
{
    if (firstReadValues.isEmpty())
        return;
    // Change tracking alone decides whether a restored value still differs
    // from the saved one, so the unsaved map and the marks stay in step.
    setTakingControllerValues(true);
    for (Parameter* parameter : qAsConst(activeParameters)) {
        if (parameter->getLevel() == 3 && isRestorable(parameter))
            putBackFirstReadValue(parameter);
    }
    setTakingControllerValues(false);
}

// A value first read that the controller holds no longer is given to the
// register, as the controller held it then; one it holds is its own.
void Kelvara::putBackFirstReadValue(Parameter* parameter)
{
    const int address = parameter->getAddress();
    const int raw = firstReadValues.value(address, 0);
    QVector<int> context;
    const QList<Parameter*> references = parameter->referencedParameters();
    for (const Parameter* reference : references) {
        const int referenced = reference->getAddress();
        context.append(firstReadValues.value(referenced, controllerValue(referenced)));
    }
    giveHeldValue(address, raw, context);
    parameter->setRegisterValueUnlimited(raw);
}

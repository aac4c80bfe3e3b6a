#include "dynamicautotune.h"

#include "bitvector.h"
#include "hallchecker.h"
#include "autotuneregisters.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QtGlobal>

#include <cmath>

using namespace AutotuneRegister;

namespace {

enum SensorTypeValue {
    HallStartSensorlessRun = 1,
    Sensorless = 2,
};

const int hallStates = 8;
const int spinLimitMs = 20000;
const double stallWatchStartMs = 5000.0;
const qint64 stallWatchEndMs = 14000;
const double stalledRpm = 0.1;

const char* const stallText =
    "The spinning autotune test could not complete properly with these starting parameters. If the "
    "motor appeared to repeatedly spin and stop, spin and stop, then the sensorless self-starting "
    "values (Alignment Time, Spinnup Time and Autostart Max RPM) likely need adjustment to suit your "
    "motor.\n";
const char* const noCurrentText =
    "*No phase currents detected. Please ensure that all 3 phases are connected to motor windings.\n";

double max(double a, double b)
{
    return a > b ? a : b;
}

// The hall offset as shown: -180 <= offset < 180.
double wrappedOffset(double degrees)
{
    const int whole = truncateToInt(degrees);
    return (degrees - whole) + ((whole + 180) % 360) - 180;
}

} // namespace

QString phaseErrorString(QString phase)
{
    return QStringLiteral("No current detected on ") + phase
        + QStringLiteral(" phase. Please check motor connection and try again.\n");
}

DynamicAutotune::DynamicAutotune(QObject* parent, Kelvara* runner, KelvaraCom* com)
    : QObject(parent)
    , runner(runner)
    , hallChecker(new HallChecker(this, runner))
    , io(runner, com, spinLimitMs)
{
    io.attach(this);
    connect(&io.discoveryLimit(), &DiscoveryLimit::passed, this, &DynamicAutotune::endSpinAtLimit);
}

DynamicAutotune::~DynamicAutotune()
{
    delete hallChecker;
}

void DynamicAutotune::startTest(bool flip)
{
    io.beginRun(KelvaraCom::DynamicTest);
    state = State::Idle;
    flipDirection = flip;
    // The wizard shows the explanation: one of an earlier run is not this
    // run's.
    errorMessage.clear();
    runDynamicAutotune();
}

void DynamicAutotune::resetCurrentLatch()
{
    blueCurrentSeen = yellowCurrentSeen = greenCurrentSeen = false;
}

void DynamicAutotune::updateCurrentLatches()
{
    blueCurrentSeen |= std::fabs(io.value(PhaseCurrentBlue)) > 1.0;
    yellowCurrentSeen |= std::fabs(io.value(PhaseCurrentYellow)) > 8.0;
    greenCurrentSeen |= std::fabs(io.value(PhaseCurrentGreen)) > 2.0;
}

void DynamicAutotune::runDynamicAutotune()
{
    switch (state) {
    case State::Idle:
        startRun();
        return;
    case State::FlippingDirection:
        writePolePairs();
        return;
    case State::WritingPolePairs:
        readFaults();
        return;
    case State::ReadingFaults:
        checkFaults();
        return;
    case State::StartingSpin:
        takeSpinStart();
        return;
    case State::PollingSpin:
        pollSpin();
        return;
    case State::ReadingSpinValues:
        watchSpin();
        return;
    case State::ReadingLearntValues:
        readFaultsAfterSpin();
        return;
    case State::ReadingFaultsAfterSpin:
        checkSpinOutcome();
        return;
    case State::WritingKv:
        takeHallOffset();
        return;
    case State::WritingHallOffset:
        takeHallTable();
        return;
    case State::WritingHallSectors:
        writeSensorType();
        return;
    case State::WritingLastResult:
        startFlashSave();
        return;
    case State::SavingToFlash:
        finish();
        return;
    case State::Failed:
        return;
    }
}

// A direction flip asked for goes first; the pole pairs are written either
// way.
void DynamicAutotune::startRun()
{
    stalled = false;
    io.stepOnSuccess(this, &DynamicAutotune::runDynamicAutotune);
    if (flipDirection) {
        Parameter* features = runner->getParameter(MotorFeatures);
        if (features->getType() == ParameterDefinition::TypeBitVector)
            static_cast<BitVector*>(features)->toggleBit(0);
        state = State::FlippingDirection;
        io.write(MotorFeatures, MotorFeatures);
        flipDirection = false;
        return;
    }
    writePolePairs();
}

void DynamicAutotune::writePolePairs()
{
    state = State::WritingPolePairs;
    io.write(PolePairs, PolePairs);
}

void DynamicAutotune::readFaults()
{
    state = State::ReadingFaults;
    io.readFaults();
}

void DynamicAutotune::checkFaults()
{
    if (io.hasFaults())
        handleErrors(FaultBeforeSpin, QString());
    else
        startSpin();
}

void DynamicAutotune::startSpin()
{
    state = State::StartingSpin;
    io.startDiscovery(2);
    resetCurrentLatch();
}

// The limit and the stall watch count from the first send of the start.
void DynamicAutotune::takeSpinStart()
{
    io.discoveryLimit().noteStartAnswered();
    state = State::PollingSpin;
    pollSpin();
}

// A start whose answer has not come may have reached the controller.
bool DynamicAutotune::isSpinning() const
{
    return state == State::StartingSpin || state == State::PollingSpin
        || state == State::ReadingSpinValues;
}

// The limit is a safety bound: the stop is decided as it passes, not once
// the request under way (with any identity check and wait before it) is in.
void DynamicAutotune::endSpinAtLimit()
{
    if (isSpinning())
        handleErrors(limitError(), QString());
}

// A start whose answer was lost cost the spin its time: run again, it may
// well end in time.
DynamicAutotune::ErrorType DynamicAutotune::limitError()
{
    return io.discoveryLimit().startWasLost() ? StartLost : CommunicationError;
}

// The controller sets 481 back to 0 when the spin is done.
void DynamicAutotune::pollSpin()
{
    if (io.value(DiscoveryMode) <= 0.0) {
        io.discoveryLimit().stop();
        state = State::ReadingLearntValues;
        io.read(LearntHallSectors, LearntBlockEnd);
    } else if (!io.discoveryLimit().isPast()) {
        state = State::ReadingSpinValues;
        io.read(MotorRpm, PhaseCurrentGreen);
    } else {
        handleErrors(limitError(), QString());
    }
}

void DynamicAutotune::watchSpin()
{
    updateCurrentLatches();
    checkForStall();
    state = State::PollingSpin;
    io.read(DiscoveryMode, DiscoveryMode);
}

void DynamicAutotune::checkForStall()
{
    const qint64 elapsed = io.discoveryLimit().elapsed();
    if (double(elapsed) > max(stallWatchStartMs, io.value(SpinupTime)) && elapsed < stallWatchEndMs
        && io.value(MotorRpm) <= stalledRpm)
        stalled = true;
}

void DynamicAutotune::readFaultsAfterSpin()
{
    state = State::ReadingFaultsAfterSpin;
    io.read(Faults, Faults2);
}

// Without faults after the spin and without a stall, the learnt Kv is
// taken; otherwise the run ends with a message on what went wrong.
void DynamicAutotune::checkSpinOutcome()
{
    if (io.value(Faults) == 0.0 && io.value(Faults2) == 0.0 && !stalled) {
        io.setValue(Kv, io.value(LearntKv));
        state = State::WritingKv;
        io.write(Kv, Kv);
    } else {
        handleErrors(MotionFault, motionFaultMessage());
    }
}

void DynamicAutotune::takeHallOffset()
{
    const double learnt = io.value(LearntHallOffset);
    io.setValue(HallOffset, learnt);
    state = State::WritingHallOffset;
    io.write(HallOffset, HallOffset);
    hallChecker->setHallOffSet(wrappedOffset(learnt));
}

void DynamicAutotune::takeHallTable()
{
    const double sensorType = io.value(SensorType);
    if (!hallChecker->hallSensorErrors()) {
        for (int hallState = 0; hallState < hallStates; ++hallState)
            io.setValue(HallSectors + hallState, io.value(LearntHallSectors + hallState));
        if (!hallChecker->areHallsValid())
            hallChecker->adjustHallValues();
        const bool alreadyHallStart = truncateToInt(sensorType) == HallStartSensorlessRun;
        QString text = QStringLiteral("Hall Sensors Okay.\n");
        if (!alreadyHallStart)
            text += QStringLiteral(
                "Using Motor Position Sensor Type: Hall sensor start and sensorless run.");
        hallChecker->setStatusText(text);
        hallChecker->setHallFailure(false);
        state = alreadyHallStart ? State::WritingLastResult : State::WritingHallSectors;
        io.write(HallSectors, HallSectors + hallStates - 1);
        return;
    }

    const bool alreadySensorless = qFuzzyCompare(sensorType, double(Sensorless));
    QString text = hallChecker->describeHallError();
    if (!alreadySensorless)
        text += QStringLiteral("\nUsing Motor Position Sensor Type: Sensorless.");
    hallChecker->setStatusText(text);
    hallChecker->setWarningText(QStringLiteral("Warning: Hall sensor error"));
    hallChecker->setHallFailure(true);
    // Kv, hall offset and the sensorless sensor type go to flash as on the
    // good path: the test never ends in success with values only in RAM.
    if (alreadySensorless)
        startFlashSave();
    else
        writeSensorType();
}

// The sensor type the hall table chose: sensorless after a bad one.
void DynamicAutotune::writeSensorType()
{
    state = State::WritingLastResult;
    io.setValue(SensorType, hallChecker->isHallFailure() ? Sensorless : HallStartSensorlessRun);
    io.write(SensorType, SensorType);
}

void DynamicAutotune::startFlashSave()
{
    state = State::SavingToFlash;
    io.saveToFlash(this, &DynamicAutotune::runDynamicAutotune);
}

QString DynamicAutotune::motionFaultMessage() const
{
    QString message;
    if (stalled)
        message += QLatin1String(stallText);
    const int clear = int(!blueCurrentSeen) + int(!yellowCurrentSeen) + int(!greenCurrentSeen);
    if (clear == 1) {
        message += phaseErrorString(!blueCurrentSeen         ? QStringLiteral("Blue")
                                        : !yellowCurrentSeen ? QStringLiteral("Yellow")
                                                             : QStringLiteral("Green"));
    } else if (clear > 1) {
        message += QLatin1String(noCurrentText);
    }
    return message;
}

void DynamicAutotune::comError()
{
    handleErrors(io.controllerChanged() ? ControllerChanged : CommunicationError, QString());
}

void DynamicAutotune::flashError()
{
    handleErrors(FlashSaveFailed, QString());
}

// A good run ends once the flash save confirmed its writes.
void DynamicAutotune::finish()
{
    state = State::Idle;
    io.finishRun(this, &DynamicAutotune::dynamicSuccess);
}

// A run that ends early leaves written values that no flash save
// confirmed; one that ends during the spin tells the controller to stop.
void DynamicAutotune::handleErrors(DynamicAutotune::ErrorType type, QString text)
{
    const bool spinning = isSpinning();
    io.discoveryLimit().stop();
    state = State::Failed;
    if (!text.isEmpty())
        errorMessage = text;
    io.failRun(this, &DynamicAutotune::reportError, type, spinning);
}

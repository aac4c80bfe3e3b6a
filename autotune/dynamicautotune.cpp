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
    , com(com)
    , runner(runner)
    , hallChecker(new HallChecker(this, runner))
    , io(runner, com)
{
    io.attach(this);
}

DynamicAutotune::~DynamicAutotune()
{
    delete hallChecker;
}

void DynamicAutotune::startTest(bool flip)
{
    com->startAutotune(KelvaraCom::DynamicTest);
    io.begin();
    leftUnsaved.clear();
    stoppedSpinning = false;
    state = 0;
    flipDirection = flip;
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
    case 0:
    case 1:
    case 2:
        stalled = false;
        io.stepOnSuccess(this, &DynamicAutotune::runDynamicAutotune);
        if (flipDirection) {
            Parameter* features = runner->getParameter(MotorFeatures);
            if (features->getType() == ParameterDefinition::TypeBitVector)
                static_cast<BitVector*>(features)->toggleBit(0);
            state = 3;
            io.write(MotorFeatures, MotorFeatures);
            flipDirection = false;
            return;
        }
        Q_FALLTHROUGH();
    case 3:
        state = 4;
        io.write(PolePairs, PolePairs);
        return;
    case 4:
        state = 5;
        io.read(Firmware, Faults2);
        return;
    case 5:
        if (io.hasFaults())
            handleErrors(FaultBeforeSpin, QString());
        else
            startSpin();
        return;
    case 6:
        startSpin();
        return;
    case 7:
        pollSpin();
        return;
    case 8:
        updateCurrentLatches();
        checkForStall();
        state = 7;
        io.read(DiscoveryMode, DiscoveryMode);
        return;
    case 9:
        state = 10;
        io.read(Faults, Faults2);
        return;
    case 10:
        if (io.value(Faults) == 0.0 && io.value(Faults2) == 0.0 && !stalled) {
            io.setValue(Kv, io.value(LearntKv));
            state = 11;
            io.write(Kv, Kv);
        } else {
            handleErrors(MotionFault, motionFaultMessage());
        }
        return;
    case 11:
        takeHallOffset();
        return;
    case 12:
        takeHallTable();
        return;
    case 13:
        io.setValue(SensorType, HallStartSensorlessRun);
        state = 14;
        io.write(SensorType, SensorType);
        return;
    case 14:
        startFlashSave();
        return;
    case 15:
        state = 0;
        io.stopStepping();
        io.confirm();
        emit stopLog();
        emit dynamicSuccess();
        return;
    default:
        return;
    }
}

void DynamicAutotune::startSpin()
{
    io.setValue(DiscoveryMode, 2.0);
    state = 7;
    io.write(DiscoveryMode, DiscoveryMode);
    startMs = io.now();
    resetCurrentLatch();
}

void DynamicAutotune::pollSpin()
{
    if (io.value(DiscoveryMode) <= 0.0) {
        state = 9;
        io.read(LearntHallSectors, LearntBlockEnd);
    } else if (io.now() - spinLimitMs <= startMs) {
        state = 8;
        io.read(MotorRpm, PhaseCurrentGreen);
    } else {
        handleErrors(CommunicationError, QString());
    }
}

void DynamicAutotune::checkForStall()
{
    const qint64 elapsed = io.now() - startMs;
    if (double(elapsed) > max(stallWatchStartMs, io.value(SpinupTime)) && elapsed < stallWatchEndMs
        && io.value(MotorRpm) <= stalledRpm)
        stalled = true;
}

void DynamicAutotune::takeHallOffset()
{
    const double learnt = io.value(LearntHallOffset);
    io.setValue(HallOffset, learnt);
    state = 12;
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
        state = alreadyHallStart ? 14 : 13;
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
    state = 14;
    if (!alreadySensorless) {
        io.setValue(SensorType, Sensorless);
        io.write(SensorType, SensorType);
        return;
    }
    startFlashSave();
}

void DynamicAutotune::startFlashSave()
{
    state = 15;
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
    handleErrors(CommunicationError, QString());
}

void DynamicAutotune::flashError()
{
    handleErrors(FlashSaveFailed, QString());
}

// A run that ends early leaves written values that no flash save
// confirmed; one that ends during the spin tells the controller to stop.
void DynamicAutotune::handleErrors(DynamicAutotune::ErrorType type, QString text)
{
    const bool wasRunning = state > 0 && state < 16;
    const bool spinning = state == 7 || state == 8;
    io.stopStepping();
    state = 16;
    if (!text.isEmpty())
        errorMessage = text;
    if (wasRunning) {
        leftUnsaved = io.revert();
        stoppedSpinning = spinning;
        if (spinning)
            io.stopDiscovery();
    }
    emit stopLog();
    emit reportError(type);
}

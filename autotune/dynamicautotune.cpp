#include "dynamicautotune.h"

#include "bitvector.h"
#include "hallchecker.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QtGlobal>

#include <cmath>

namespace {

enum Register {
    Kv = 72,
    SensorType = 77,
    PolePairs = 78,
    HallOffset = 79,
    HallSectors = 80,
    SpinupTime = 109,
    MotorFeatures = 127,
    Firmware = 256,
    Faults = 258,
    MotorRpm = 263,
    PhaseCurrentBlue = 282,
    PhaseCurrentYellow = 283,
    PhaseCurrentGreen = 284,
    Faults2 = 299,
    LearntHallSectors = 440,
    LearntHallOffset = 460,
    LearntKv = 462,
    LearntBlockEnd = 464,
    DiscoveryMode = 481,
};

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
    , writes(runner, com)
{
    connect(this, &DynamicAutotune::stopLog, com, &KelvaraCom::haltLog);
    connect(com, &KelvaraCom::comError, this, &DynamicAutotune::comError);
    connect(com, &KelvaraCom::motorRunning, this, &DynamicAutotune::flashError);
}

DynamicAutotune::~DynamicAutotune()
{
    disconnect(this, &DynamicAutotune::stopLog, com, &KelvaraCom::haltLog);
    disconnect(com, &KelvaraCom::comError, this, &DynamicAutotune::comError);
    disconnect(com, &KelvaraCom::motorRunning, this, &DynamicAutotune::flashError);
    delete hallChecker;
}

void DynamicAutotune::startTest(bool flip)
{
    com->startAutotune(KelvaraCom::DynamicTest);
    writes.begin();
    leftUnsaved.clear();
    stoppedSpinning = false;
    state = 0;
    flipDirection = flip;
    runDynamicAutotune();
}

double DynamicAutotune::value(int address) const
{
    return runner->getParameter(address)->getValue();
}

void DynamicAutotune::setValue(int address, double value)
{
    runner->getParameter(address)->setValue(value);
}

bool DynamicAutotune::hasFaults() const
{
    return runner->getParameter(Faults)->getRegisterValue() != 0
        || runner->getParameter(Faults2)->getRegisterValue() != 0;
}

void DynamicAutotune::read(int first, int last)
{
    com->oneRead(first, last - first + 1);
}

void DynamicAutotune::write(int first, int last)
{
    writes.write(first, last - first + 1);
}

void DynamicAutotune::resetCurrentLatch()
{
    blueCurrentSeen = yellowCurrentSeen = greenCurrentSeen = false;
}

void DynamicAutotune::updateCurrentLatches()
{
    blueCurrentSeen |= std::fabs(value(PhaseCurrentBlue)) > 1.0;
    yellowCurrentSeen |= std::fabs(value(PhaseCurrentYellow)) > 8.0;
    greenCurrentSeen |= std::fabs(value(PhaseCurrentGreen)) > 2.0;
}

void DynamicAutotune::runDynamicAutotune()
{
    switch (state) {
    case 0:
    case 1:
    case 2:
        stalled = false;
        connect(com, &KelvaraCom::comSuccess, this, &DynamicAutotune::runDynamicAutotune,
                Qt::UniqueConnection);
        if (flipDirection) {
            Parameter* features = runner->getParameter(MotorFeatures);
            if (features->getType() == ParameterDefinition::TypeBitVector)
                static_cast<BitVector*>(features)->toggleBit(0);
            state = 3;
            write(MotorFeatures, MotorFeatures);
            flipDirection = false;
            return;
        }
        Q_FALLTHROUGH();
    case 3:
        state = 4;
        write(PolePairs, PolePairs);
        return;
    case 4:
        state = 5;
        read(Firmware, Faults2);
        return;
    case 5:
        if (hasFaults())
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
        read(DiscoveryMode, DiscoveryMode);
        return;
    case 9:
        state = 10;
        read(Faults, Faults2);
        return;
    case 10:
        if (value(Faults) == 0.0 && value(Faults2) == 0.0 && !stalled) {
            setValue(Kv, value(LearntKv));
            state = 11;
            write(Kv, Kv);
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
        setValue(SensorType, HallStartSensorlessRun);
        state = 14;
        write(SensorType, SensorType);
        return;
    case 14:
        startFlashSave();
        return;
    case 15:
        state = 0;
        detach();
        writes.confirm();
        emit stopLog();
        emit dynamicSuccess();
        return;
    default:
        return;
    }
}

void DynamicAutotune::startSpin()
{
    setValue(DiscoveryMode, 2.0);
    state = 7;
    write(DiscoveryMode, DiscoveryMode);
    startMs = now();
    resetCurrentLatch();
}

void DynamicAutotune::pollSpin()
{
    if (value(DiscoveryMode) <= 0.0) {
        state = 9;
        read(LearntHallSectors, LearntBlockEnd);
    } else if (now() - spinLimitMs <= startMs) {
        state = 8;
        read(MotorRpm, PhaseCurrentGreen);
    } else {
        handleErrors(CommunicationError, QString());
    }
}

void DynamicAutotune::checkForStall()
{
    const qint64 elapsed = now() - startMs;
    if (double(elapsed) > max(stallWatchStartMs, value(SpinupTime)) && elapsed < stallWatchEndMs
        && value(MotorRpm) <= stalledRpm)
        stalled = true;
}

void DynamicAutotune::takeHallOffset()
{
    const double learnt = value(LearntHallOffset);
    setValue(HallOffset, learnt);
    state = 12;
    write(HallOffset, HallOffset);
    hallChecker->setHallOffSet(wrappedOffset(learnt));
}

void DynamicAutotune::takeHallTable()
{
    const double sensorType = value(SensorType);
    if (!hallChecker->hallSensorErrors()) {
        for (int hallState = 0; hallState < hallStates; ++hallState)
            setValue(HallSectors + hallState, value(LearntHallSectors + hallState));
        if (!hallChecker->areHallsValid())
            hallChecker->adjustHallValues();
        const bool alreadyHallStart = truncateToInt(sensorType) == HallStartSensorlessRun;
        QString text = QStringLiteral("Hall Sensors Okay.\n");
        if (!alreadyHallStart)
            text += QStringLiteral("Using Motor Position Sensor Type: Hall sensor start and sensorless run.");
        hallChecker->setStatusText(text);
        hallChecker->setHallFailure(false);
        state = alreadyHallStart ? 14 : 13;
        write(HallSectors, HallSectors + hallStates - 1);
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
        setValue(SensorType, Sensorless);
        write(SensorType, SensorType);
        return;
    }
    startFlashSave();
}

void DynamicAutotune::startFlashSave()
{
    state = 15;
    disconnect(com, &KelvaraCom::comSuccess, this, &DynamicAutotune::runDynamicAutotune);
    connect(com, &KelvaraCom::flashSaveComplete, this, &DynamicAutotune::runDynamicAutotune,
            Qt::UniqueConnection);
    com->flashSaveAutotune();
}

QString DynamicAutotune::motionFaultMessage() const
{
    QString message;
    if (stalled)
        message += QLatin1String(stallText);
    const int clear = int(!blueCurrentSeen) + int(!yellowCurrentSeen) + int(!greenCurrentSeen);
    if (clear == 1) {
        message += phaseErrorString(!blueCurrentSeen     ? QStringLiteral("Blue")
                                        : !yellowCurrentSeen ? QStringLiteral("Yellow")
                                                             : QStringLiteral("Green"));
    } else if (clear > 1) {
        message += QLatin1String(noCurrentText);
    }
    return message;
}

void DynamicAutotune::detach()
{
    disconnect(com, &KelvaraCom::comSuccess, this, &DynamicAutotune::runDynamicAutotune);
    disconnect(com, &KelvaraCom::flashSaveComplete, this, &DynamicAutotune::runDynamicAutotune);
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
    detach();
    state = 16;
    if (!text.isEmpty())
        errorMessage = text;
    if (wasRunning) {
        leftUnsaved = writes.revert();
        stoppedSpinning = spinning;
        if (spinning)
            writes.stopDiscovery();
    }
    emit stopLog();
    emit reportError(type);
}

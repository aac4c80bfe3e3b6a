#include "staticautotune.h"

#include "autotuneregisters.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QDebug>

#include <cmath>

using namespace AutotuneRegister;

namespace {

const double kvCap = 61400.0;
const int faultClearWaitMs = 1000;
const int measurementWaitMs = 5000;
const int measurementsPerRun = 3;

bool differsByMoreThanTenPercent(double a, double b)
{
    return std::fabs(a - b) / b > 0.1 || std::fabs(a - b) / a > 0.1;
}

} // namespace

StaticAutotune::StaticAutotune(QObject* parent, Kelvara* runner, KelvaraCom* com)
    : QObject(parent)
    , runner(runner)
    , measurements(new QList<QPair<double, double>>)
    , io(runner, com, measurementWaitMs)
{
    io.attach(this);
    connect(&io.discoveryLimit(), &DiscoveryLimit::passed, this,
            &StaticAutotune::endMeasurementAtLimit);
}

StaticAutotune::~StaticAutotune()
{
    delete measurements;
}

bool StaticAutotune::areWithinTenPercent(QList<QPair<double, double>>* list)
{
    for (int i = 0; i < list->size(); ++i) {
        for (int j = i + 1; j < list->size(); ++j) {
            const QPair<double, double>& a = list->at(i);
            const QPair<double, double>& b = list->at(j);
            if (a.first == 0.0 || b.first == 0.0 || a.second == 0.0 || b.second == 0.0)
                return false;
            if (differsByMoreThanTenPercent(a.second, b.second)
                || differsByMoreThanTenPercent(a.first, b.first))
                return false;
        }
    }
    return true;
}

void StaticAutotune::startTest()
{
    io.beginRun(KelvaraCom::StaticTest);
    state = State::Idle;
    runStaticAutotune();
}

void StaticAutotune::runStaticAutotune()
{
    switch (state) {
    case State::Idle:
        startRun();
        return;
    case State::ClearingFaults:
        checkFaultsCleared();
        return;
    case State::WritingConstants:
        startMeasurement();
        return;
    case State::StartingMeasurement:
        takeMeasurementStart();
        return;
    case State::ReadingPhaseCurrents:
        readDiscoveryMode();
        return;
    case State::ReadingDiscoveryMode:
        pollMeasurement();
        return;
    case State::ReadingResults:
        takeMeasurement();
        return;
    case State::RereadingResults:
        readFaults();
        return;
    case State::ReadingFaults:
        checkFaults();
        return;
    case State::WritingMeans:
        startFlashSave();
        return;
    case State::SavingToFlash:
        finish();
        return;
    }
}

// Faults left from before the test are cleared first; the clear gets a
// second to take.
void StaticAutotune::startRun()
{
    measurementCount = 1;
    measurements->clear();
    io.stepOnSuccess(this, &StaticAutotune::runStaticAutotune);
    state = State::ClearingFaults;
    if (io.hasFaults()) {
        io.writeCommand(FaultClear, 1);
        startMs = io.now();
        return;
    }
    checkFaultsCleared();
}

void StaticAutotune::checkFaultsCleared()
{
    if (!io.hasFaults()) {
        state = State::WritingConstants;
        applyKvCap();
        io.write(Kv, PolePairs);
    } else if (io.now() - faultClearWaitMs >= startMs) {
        handleErrors(ControllerFault);
    } else {
        io.read(Faults, Faults2);
    }
}

void StaticAutotune::applyKvCap()
{
    const double polePairs = io.value(PolePairs);
    const double voltage = io.value(RatedVoltage);
    if (io.value(Kv) * polePairs * voltage > kvCap)
        io.setValue(Kv, kvCap / (polePairs * voltage));
}

void StaticAutotune::startMeasurement()
{
    state = State::StartingMeasurement;
    io.startDiscovery(1);
}

void StaticAutotune::takeMeasurementStart()
{
    io.discoveryLimit().noteStartAnswered();
    readPhaseCurrents();
}

// As the spin's: the stop goes as the limit passes, not once the request
// under way is in.
void StaticAutotune::endMeasurementAtLimit()
{
    if (measuring())
        handleErrors(limitError());
}

// A start whose answer was lost cost the measurement its time: run again,
// it may well end in time.
StaticAutotune::ErrorType StaticAutotune::limitError()
{
    return io.discoveryLimit().startWasLost() ? StartLost : CommunicationError;
}

void StaticAutotune::readPhaseCurrents()
{
    state = State::ReadingPhaseCurrents;
    io.read(PhaseCurrentBlue, PhaseCurrentGreen);
}

void StaticAutotune::readDiscoveryMode()
{
    state = State::ReadingDiscoveryMode;
    io.read(DiscoveryMode, DiscoveryMode);
}

// The controller sets 481 back to 0 when the measurement is done.
void StaticAutotune::pollMeasurement()
{
    if (truncateToInt(io.value(DiscoveryMode)) == 0) {
        io.discoveryLimit().stop();
        state = State::ReadingResults;
        io.read(MeasuredRs, MeasuredLs);
    } else if (io.discoveryLimit().isPast()) {
        handleErrors(limitError());
    } else {
        readPhaseCurrents();
    }
}

// Between measurements the results are read once more and the faults
// checked; after the last one the three must agree.
void StaticAutotune::takeMeasurement()
{
    measurements->append(qMakePair(io.value(MeasuredRs), io.value(MeasuredLs)));
    if (measurementCount < measurementsPerRun) {
        state = State::RereadingResults;
        ++measurementCount;
        io.read(MeasuredRs, MeasuredLs);
        return;
    }
    if (!areWithinTenPercent(measurements)) {
        qDebug() << "10 percent BOUND FAIL";
        handleErrors(MotorNotDetected);
        return;
    }
    writeMeans();
}

void StaticAutotune::readFaults()
{
    state = State::ReadingFaults;
    io.readFaults();
}

// Faults before the second or third measurement end the run: no clear is
// tried then.
void StaticAutotune::checkFaults()
{
    if (io.hasFaults())
        handleErrors(ControllerFault);
    else
        startMeasurement();
}

void StaticAutotune::writeMeans()
{
    double rs = 0.0;
    double ls = 0.0;
    for (const auto& measurement : qAsConst(*measurements)) {
        rs += measurement.first;
        ls += measurement.second;
    }
    io.setValue(Rs, rs / measurements->size());
    io.setValue(Ls, ls / measurements->size());
    state = State::WritingMeans;
    io.write(Ls, Rs);
}

void StaticAutotune::startFlashSave()
{
    state = State::SavingToFlash;
    io.saveToFlash(this, &StaticAutotune::runStaticAutotune);
}

void StaticAutotune::comError()
{
    handleErrors(io.controllerChanged() ? ControllerChanged : CommunicationError);
}

void StaticAutotune::flashError()
{
    handleErrors(FlashSaveFailed);
}

// A good run ends once the flash save confirmed its writes.
void StaticAutotune::finish()
{
    state = State::Idle;
    io.finishRun(this, &StaticAutotune::staticSuccess);
}

bool StaticAutotune::measuring() const
{
    return state == State::StartingMeasurement || state == State::ReadingPhaseCurrents
        || state == State::ReadingDiscoveryMode;
}

// A run that ends early has written values that no flash save confirmed,
// and may have left a measurement running.
void StaticAutotune::handleErrors(StaticAutotune::ErrorType type)
{
    const bool stopMeasurement = measuring();
    io.discoveryLimit().stop();
    state = State::Idle;
    io.failRun(this, &StaticAutotune::reportError, type, stopMeasurement);
}

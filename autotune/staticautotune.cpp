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
    , com(com)
    , runner(runner)
    , measurements(new QList<QPair<double, double>>)
    , io(runner, com)
{
    io.attach(this);
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
    com->startAutotune(KelvaraCom::StaticTest);
    io.begin();
    leftUnsaved.clear();
    state = 0;
    runStaticAutotune();
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
    io.setValue(DiscoveryMode, 1.0);
    state = 7;
    io.write(DiscoveryMode, DiscoveryMode);
    startMs = io.now();
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
    state = 11;
    io.write(Ls, Rs);
}

void StaticAutotune::runStaticAutotune()
{
    switch (state) {
    case 0:
    case 1:
        measurementCount = 1;
        measurements->clear();
        Q_FALLTHROUGH();
    case 2:
        io.stepOnSuccess(this, &StaticAutotune::runStaticAutotune);
        state = 3;
        if (io.hasFaults()) {
            runner->getParameter(FaultClear)->setRegisterValue(1);
            io.write(FaultClear, FaultClear);
            startMs = io.now();
            return;
        }
        Q_FALLTHROUGH();
    case 3:
        if (!io.hasFaults()) {
            state = 6;
            applyKvCap();
            io.write(Kv, PolePairs);
        } else if (io.now() - faultClearWaitMs >= startMs) {
            handleErrors(ControllerFault);
        } else {
            io.read(Faults, Faults2);
        }
        return;
    case 4:
        state = 5;
        io.read(Firmware, Faults2);
        return;
    case 5:
        if (io.hasFaults())
            handleErrors(ControllerFault);
        else
            startMeasurement();
        return;
    case 6:
        startMeasurement();
        return;
    case 7:
        state = 8;
        io.read(PhaseCurrentBlue, PhaseCurrentGreen);
        return;
    case 8:
        state = 9;
        io.read(DiscoveryMode, DiscoveryMode);
        return;
    case 9:
        if (truncateToInt(io.value(DiscoveryMode)) == 0) {
            state = 10;
            io.read(MeasuredRs, MeasuredLs);
        } else if (io.now() - measurementWaitMs > startMs) {
            handleErrors(CommunicationError);
        } else {
            state = 8;
            io.read(PhaseCurrentBlue, PhaseCurrentGreen);
        }
        return;
    case 10:
        measurements->append(qMakePair(io.value(MeasuredRs), io.value(MeasuredLs)));
        if (measurementCount < measurementsPerRun) {
            state = 4;
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
        return;
    case 11:
        state = 12;
        io.saveToFlash(this, &StaticAutotune::runStaticAutotune);
        return;
    case 12:
        state = 0;
        io.stopStepping();
        io.confirm();
        emit stopLog();
        emit staticSuccess();
        return;
    default:
        return;
    }
}

void StaticAutotune::comError()
{
    handleErrors(CommunicationError);
}

void StaticAutotune::flashError()
{
    handleErrors(FlashSaveFailed);
}

// A run that ends early has written values that no flash save confirmed,
// and may have left a measurement running.
void StaticAutotune::handleErrors(StaticAutotune::ErrorType type)
{
    const bool wasRunning = state != 0;
    const bool measuring = state >= 7 && state <= 9;
    io.stopStepping();
    state = 0;
    if (wasRunning) {
        leftUnsaved = io.revert();
        if (measuring)
            io.stopDiscovery();
    }
    emit stopLog();
    emit reportError(type);
}

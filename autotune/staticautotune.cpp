#include "staticautotune.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "numericconversion.h"
#include "parameter.h"

#include <QDebug>

#include <cmath>

namespace {

enum Register {
    RatedVoltage = 70,
    Kv = 72,
    Ls = 74,
    Rs = 75,
    PolePairs = 78,
    Firmware = 256,
    Faults = 258,
    Faults2 = 299,
    PhaseCurrentBlue = 282,
    PhaseCurrentGreen = 284,
    MeasuredRs = 425,
    MeasuredLs = 426,
    DiscoveryMode = 481,
    FaultClear = 508,
};

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
    , writes(runner, com)
{
    connect(this, &StaticAutotune::stopLog, com, &KelvaraCom::haltLog);
    connect(com, &KelvaraCom::comError, this, &StaticAutotune::comError);
    connect(com, &KelvaraCom::motorRunning, this, &StaticAutotune::flashError);
}

StaticAutotune::~StaticAutotune()
{
    disconnect(this, &StaticAutotune::stopLog, com, &KelvaraCom::haltLog);
    disconnect(com, &KelvaraCom::comError, this, &StaticAutotune::comError);
    disconnect(com, &KelvaraCom::motorRunning, this, &StaticAutotune::flashError);
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
    writes.begin();
    leftUnsaved.clear();
    state = 0;
    runStaticAutotune();
}

double StaticAutotune::value(int address) const
{
    return runner->getParameter(address)->getValue();
}

void StaticAutotune::setValue(int address, double value)
{
    runner->getParameter(address)->setValue(value);
}

bool StaticAutotune::hasFaults() const
{
    return runner->getParameter(Faults)->getRegisterValue() != 0
        || runner->getParameter(Faults2)->getRegisterValue() != 0;
}

void StaticAutotune::read(int first, int last)
{
    com->oneRead(first, last - first + 1);
}

void StaticAutotune::write(int first, int last)
{
    writes.write(first, last - first + 1);
}

void StaticAutotune::applyKvCap()
{
    const double polePairs = value(PolePairs);
    const double voltage = value(RatedVoltage);
    if (value(Kv) * polePairs * voltage > kvCap)
        setValue(Kv, kvCap / (polePairs * voltage));
}

void StaticAutotune::startMeasurement()
{
    setValue(DiscoveryMode, 1.0);
    state = 7;
    write(DiscoveryMode, DiscoveryMode);
    startMs = now();
}

void StaticAutotune::writeMeans()
{
    double rs = 0.0;
    double ls = 0.0;
    for (const auto& measurement : qAsConst(*measurements)) {
        rs += measurement.first;
        ls += measurement.second;
    }
    setValue(Rs, rs / measurements->size());
    setValue(Ls, ls / measurements->size());
    state = 11;
    write(Ls, Rs);
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
        connect(com, &KelvaraCom::comSuccess, this, &StaticAutotune::runStaticAutotune,
                Qt::UniqueConnection);
        state = 3;
        if (hasFaults()) {
            runner->getParameter(FaultClear)->setRegisterValue(1);
            write(FaultClear, FaultClear);
            startMs = now();
            return;
        }
        Q_FALLTHROUGH();
    case 3:
        if (!hasFaults()) {
            state = 6;
            applyKvCap();
            write(Kv, PolePairs);
        } else if (now() - faultClearWaitMs >= startMs) {
            handleErrors(ControllerFault);
        } else {
            read(Faults, Faults2);
        }
        return;
    case 4:
        state = 5;
        read(Firmware, Faults2);
        return;
    case 5:
        if (hasFaults())
            handleErrors(ControllerFault);
        else
            startMeasurement();
        return;
    case 6:
        startMeasurement();
        return;
    case 7:
        state = 8;
        read(PhaseCurrentBlue, PhaseCurrentGreen);
        return;
    case 8:
        state = 9;
        read(DiscoveryMode, DiscoveryMode);
        return;
    case 9:
        if (truncateToInt(value(DiscoveryMode)) == 0) {
            state = 10;
            read(MeasuredRs, MeasuredLs);
        } else if (now() - measurementWaitMs > startMs) {
            handleErrors(CommunicationError);
        } else {
            state = 8;
            read(PhaseCurrentBlue, PhaseCurrentGreen);
        }
        return;
    case 10:
        measurements->append(qMakePair(value(MeasuredRs), value(MeasuredLs)));
        if (measurementCount < measurementsPerRun) {
            state = 4;
            ++measurementCount;
            read(MeasuredRs, MeasuredLs);
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
        disconnect(com, &KelvaraCom::comSuccess, this, &StaticAutotune::runStaticAutotune);
        connect(com, &KelvaraCom::flashSaveComplete, this, &StaticAutotune::runStaticAutotune,
                Qt::UniqueConnection);
        com->flashSaveAutotune();
        return;
    case 12:
        state = 0;
        detach();
        writes.confirm();
        emit stopLog();
        emit staticSuccess();
        return;
    default:
        return;
    }
}

void StaticAutotune::detach()
{
    disconnect(com, &KelvaraCom::comSuccess, this, &StaticAutotune::runStaticAutotune);
    disconnect(com, &KelvaraCom::flashSaveComplete, this, &StaticAutotune::runStaticAutotune);
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
    detach();
    state = 0;
    if (wasRunning) {
        leftUnsaved = writes.revert();
        if (measuring)
            writes.stopDiscovery();
    }
    emit stopLog();
    emit reportError(type);
}

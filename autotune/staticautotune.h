#ifndef STATICAUTOTUNE_H
#define STATICAUTOTUNE_H

#include "autotunelink.h"

#include <QList>
#include <QObject>
#include <QPair>

class Kelvara;
class KelvaraCom;

// The stationary motor test: the controller measures the winding
// resistance and inductance three times (discovery mode 1 of register
// 481); the means of three measurements that agree within 10 % go to Rs
// (75) and Ls (74) and are saved to flash.
//
// A step machine driven by the link: each step queues one transfer and
// returns, and the link's comSuccess() (flashSaveComplete() for the last
// step) performs the next one. A run ends with stopLog() and then
// staticSuccess() or reportError(). A measurement's time limit counts from
// the first send of its start command, and ends the run as it passes.
class StaticAutotune : public QObject
{
    Q_OBJECT

public:
    enum ErrorType {
        CommunicationError = 0, // link failure, or a measurement that never ended
        MotorNotDetected = 1,   // inconsistent or zero measurements
        ControllerFault = 2,
        FlashSaveFailed = 3,   // refused: the motor is running
        ControllerChanged = 4, // another controller answers than the one tested
        // The start of a measurement went unanswered, and its time ran out
        // before its end was seen.
        StartLost = 5,
    };

    StaticAutotune(QObject* parent, Kelvara* runner, KelvaraCom* com);
    ~StaticAutotune() override;

    // Each pair (Rs, Ls) in display units; true for fewer than two pairs.
    static bool areWithinTenPercent(QList<QPair<double, double>>* list);

    // The registers this test wrote that its last run left unsaved in
    // flash (after an error); shown as unsaved in the model.
    QList<int> unsavedAfterRun() const { return io.unsavedAfterRun(); }
    // The last run ended while the controller may still have been measuring.
    bool endedWhileMeasuring() const { return io.stoppedDiscoveryRun(); }

    void setClock(AutotuneClock clock) { io.setClock(clock); }

signals:
    void stopLog();
    void staticSuccess();
    void reportError(StaticAutotune::ErrorType type);

public slots:
    void startTest();
    void runStaticAutotune();
    void comError();
    void flashError();

private:
    // What the step machine waits for: the transfer whose success performs
    // the next step.
    enum class State {
        Idle,                 // no run; an entry starts one
        ClearingFaults,       // the fault clear, then each read of the faults
        WritingConstants,     // the motor constants 72..78
        StartingMeasurement,  // 481 := 1
        ReadingPhaseCurrents, // while the measurement runs
        ReadingDiscoveryMode, // back to 0 once the measurement is done
        ReadingResults,
        RereadingResults, // before the faults ahead of the next measurement
        ReadingFaults,
        WritingMeans, // to Ls and Rs
        SavingToFlash,
    };

    void handleErrors(StaticAutotune::ErrorType type);
    void startRun();
    void checkFaultsCleared();
    void startMeasurement();
    void takeMeasurementStart();
    void readPhaseCurrents();
    void readDiscoveryMode();
    void pollMeasurement();
    void endMeasurementAtLimit();
    StaticAutotune::ErrorType limitError();
    void takeMeasurement();
    void readFaults();
    void checkFaults();
    void writeMeans();
    void applyKvCap();
    void startFlashSave();
    void finish();
    bool measuring() const;

    Kelvara* runner;
    QList<QPair<double, double>>* measurements;
    State state = State::Idle;
    // When the fault clear was asked for.
    qint64 startMs = 0;
    int measurementCount = 0;
    AutotuneLink io;
};

#endif // STATICAUTOTUNE_H

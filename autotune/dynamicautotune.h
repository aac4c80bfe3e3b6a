#ifndef DYNAMICAUTOTUNE_H
#define DYNAMICAUTOTUNE_H

#include "autotunelink.h"

#include <QObject>
#include <QString>

class HallChecker;
class Kelvara;
class KelvaraCom;

// The spinning motor test: the controller spins the motor by itself
// (discovery mode 2 of register 481) and learns its Kv, hall offset and
// hall sector table. The test watches the spin for a stall and missing
// phase currents, checks the learnt table with its HallChecker, copies the
// results into the motor registers, chooses the position sensor type and
// saves everything to flash.
//
// A step machine driven by the link like StaticAutotune. A run ends with
// stopLog() and then dynamicSuccess() or reportError(). The spin's time
// limit counts from the first send of its start command, and is watched on
// its own: when it passes, the run ends at once, whatever the link is
// waiting for, and the link owes the controller its stop.
class DynamicAutotune : public QObject
{
    Q_OBJECT

public:
    enum ErrorType {
        CommunicationError = 1, // link failure, or a spin that never ended
        MotorNotDetected = 2,   // never raised by this test
        FlashSaveFailed = 3,    // refused: the motor is running
        FaultBeforeSpin = 4,
        MotionFault = 5,       // a fault after the spin, or a stall
        ControllerChanged = 6, // another controller answers than the one tested
        // The start of the spin went unanswered, and its time ran out before
        // its end was seen.
        StartLost = 7,
    };

    DynamicAutotune(QObject* parent, Kelvara* runner, KelvaraCom* com);
    ~DynamicAutotune() override;

    HallChecker* getHallChecker() const { return hallChecker; }
    QString getErrorMessage() const { return errorMessage; }

    // The registers this test wrote that its last run left unsaved in
    // flash (after an error).
    QList<int> unsavedAfterRun() const { return io.unsavedAfterRun(); }
    // The last run ended while the controller may still have been spinning
    // the motor.
    bool endedWhileSpinning() const { return io.stoppedDiscoveryRun(); }

    void setClock(AutotuneClock clock) { io.setClock(clock); }

signals:
    void stopLog();
    void dynamicSuccess();
    void reportError(DynamicAutotune::ErrorType type);
    void flippedMotor();
    void motionFault(QString text);

public slots:
    void startTest(bool flip);
    void runDynamicAutotune();
    void comError();
    void flashError();

private:
    // What the step machine waits for: the transfer whose success performs
    // the next step.
    enum class State {
        Idle,              // no run; an entry starts one
        FlippingDirection, // bit 0 of the motor features
        WritingPolePairs,
        ReadingFaults,
        StartingSpin, // 481 := 2
        // A read of 481, back to 0 once the spin is done.
        PollingSpin,
        ReadingSpinValues, // the motor RPM and the phase currents
        ReadingLearntValues,
        ReadingFaultsAfterSpin,
        WritingKv,
        WritingHallOffset,
        WritingHallSectors, // the sensor type follows
        WritingLastResult,  // the hall sectors or the sensor type
        SavingToFlash,
        Failed, // the run ended with an error; entries do nothing
    };

    void handleErrors(DynamicAutotune::ErrorType type, QString text);
    void startRun();
    void writePolePairs();
    void readFaults();
    void checkFaults();
    void startSpin();
    void takeSpinStart();
    void pollSpin();
    bool isSpinning() const;
    void endSpinAtLimit();
    DynamicAutotune::ErrorType limitError();
    void watchSpin();
    void checkForStall();
    void readFaultsAfterSpin();
    void checkSpinOutcome();
    void takeHallOffset();
    void takeHallTable();
    void writeSensorType();
    void startFlashSave();
    void finish();
    QString motionFaultMessage() const;
    void resetCurrentLatch();
    void updateCurrentLatches();

    Kelvara* runner;
    HallChecker* hallChecker;
    State state = State::Idle;
    bool flipDirection = false;
    QString errorMessage;
    bool blueCurrentSeen = false;
    bool yellowCurrentSeen = false;
    bool greenCurrentSeen = false;
    bool stalled = false;
    AutotuneLink io;
};

// "No current detected on <phase> phase. ..." for the motion-fault message.
QString phaseErrorString(QString phase);

#endif // DYNAMICAUTOTUNE_H

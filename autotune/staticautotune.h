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
// staticSuccess() or reportError().
class StaticAutotune : public QObject
{
    Q_OBJECT

public:
    enum ErrorType {
        CommunicationError = 0, // link failure, or a measurement that never ended
        MotorNotDetected = 1,   // inconsistent or zero measurements
        ControllerFault = 2,
        FlashSaveFailed = 3, // refused: the motor is running
    };

    StaticAutotune(QObject* parent, Kelvara* runner, KelvaraCom* com);
    ~StaticAutotune() override;

    // Each pair (Rs, Ls) in display units; true for fewer than two pairs.
    static bool areWithinTenPercent(QList<QPair<double, double>>* list);

    // The registers this test wrote that its last run left unsaved in
    // flash (after an error); shown as unsaved in the model.
    QList<int> unsavedAfterRun() const { return leftUnsaved; }

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
    void handleErrors(StaticAutotune::ErrorType type);
    void startMeasurement();
    void writeMeans();
    void applyKvCap();

    KelvaraCom* com;
    Kelvara* runner;
    QList<QPair<double, double>>* measurements;
    int state = 0;
    qint64 startMs = 0;
    int measurementCount = 0;
    AutotuneLink io;
    QList<int> leftUnsaved;
};

#endif // STATICAUTOTUNE_H

#ifndef SIMULATEDMOTOR_H
#define SIMULATEDMOTOR_H

#include <QVector>

// What the motor on a simulated controller is like, and how it misbehaves.
struct MotorBehaviour
{
    double rsMilliOhm = 62.4;
    double lsMicroHenry = 184.0;
    double kv = 11.35; // RPM/V
    double hallOffsetDegrees = 300.5;
    // The sector of each hall state 0..7; 15: the state never shows.
    QVector<int> hallTable = {15, 2, 4, 3, 0, 1, 5, 15};
    int staticMs = 1500;         // one stationary measurement
    int spinMs = 15000;          // the spinning test
    bool connected = true;       // false: no current flows, nothing is measured or learnt
    bool inconsistent = false;   // every second measurement reads 20 % high
    bool stall = false;          // the motor never turns during the spin
    int deadPhases = 0;          // phases without current: 1 blue, 2 yellow, 4 green
    int spinFaults = 0;          // bits of register 258 raised when the spin ends
    bool discoveryStuck = false; // register 481 never returns to 0
    bool stickyFaults = false;   // a fault clear (508 := 1) leaves the faults
};

// The controller's motor discovery modes: a write of 1 to register 481
// measures the winding (results in 425 and 426), a write of 2 spins the
// motor and learns it (results in 440..447, 460 and 462); the controller
// sets 481 back to 0 when done. While a mode runs, the live registers
// (motor RPM 263, phase currents 282..284, hall inputs in 276) follow the
// motor. Time is the simulator's clock in ms, brought forward by advance()
// before every request is answered.
class SimulatedMotor
{
public:
    static constexpr int DiscoveryModeRegister = 481;

    MotorBehaviour behaviour;

    // Register 481 was written with mode at time nowMs.
    void startDiscovery(int mode, double nowMs, QVector<quint16>& registers);
    void advance(double nowMs, QVector<quint16>& registers);

private:
    void showMeasurement(QVector<quint16>& registers) const;
    void finishMeasurement(QVector<quint16>& registers);
    void showSpin(double elapsedMs, QVector<quint16>& registers) const;
    void finishSpin(QVector<quint16>& registers);
    void setCurrents(double amps, QVector<quint16>& registers) const;

    int mode = 0;
    double startMs = 0;
    int measurements = 0;
};

#endif // SIMULATEDMOTOR_H

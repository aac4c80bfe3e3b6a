#ifndef SIMULATEDCONTROLLER_H
#define SIMULATEDCONTROLLER_H

#include "simulatedmotor.h"

#include <QByteArray>
#include <QVector>

// The register file of a controller, the few registers that act as
// commands, and the motor its discovery modes measure. Answers one request at a time; not thread-safe on its own
// (ControllerSimulator guards it).
class SimulatedController
{
public:
    static constexpr int RegisterCount = 2048;
    static constexpr quint8 SlaveAddress = 1;

    static constexpr int FaultRegister = 258;
    static constexpr int Fault2Register = 299;
    static constexpr int TorqueCommandRegister = 477;
    static constexpr int FaultClearRegister = 508;
    static constexpr int FlashSaveRegister = 511;
    static constexpr quint16 FlashSaveCommand = 32767;
    static constexpr quint16 FlashSaveConfirmed = 4096;

    SimulatedController();

    quint16 value(int address) const;
    void setValue(int address, quint16 value);
    void clear();

    bool flashSaveFails() const;
    void setFlashSaveFails(bool fails);

    MotorBehaviour motorBehaviour() const;
    void setMotorBehaviour(const MotorBehaviour& behaviour);

    // The reply to a complete request with a good CRC that is addressed to
    // this slave, at nowMs on the simulator's clock: a normal reply or an
    // exception reply, CRC included.
    QByteArray answer(const QByteArray& request, double nowMs = 0);

private:
    QByteArray answerRead(const QByteArray& request) const;
    QByteArray answerWrite(const QByteArray& request);
    void storeWritten(int address, quint16 value);

    QVector<quint16> registers;
    bool flashFails = false;
    SimulatedMotor motor;
    double nowMs = 0;
};

#endif // SIMULATEDCONTROLLER_H

#include "simulatedcontroller.h"

#include "simmodbus.h"

namespace {

int word(const QByteArray& bytes, int index)
{
    return (static_cast<quint8>(bytes.at(index)) << 8) | static_cast<quint8>(bytes.at(index + 1));
}

void appendWord(QByteArray& bytes, quint16 value)
{
    bytes.append(static_cast<char>(value >> 8));
    bytes.append(static_cast<char>(value & 0xFF));
}

} // namespace

SimulatedController::SimulatedController()
    : registers(RegisterCount, 0)
{
}

quint16 SimulatedController::value(int address) const
{
    return address >= 0 && address < RegisterCount ? registers.at(address) : 0;
}

void SimulatedController::setValue(int address, quint16 value)
{
    if (address >= 0 && address < RegisterCount)
        registers[address] = value;
}

void SimulatedController::clear()
{
    registers.fill(0);
}

bool SimulatedController::flashSaveFails() const
{
    return flashFails;
}

void SimulatedController::setFlashSaveFails(bool fails)
{
    flashFails = fails;
}

MotorBehaviour SimulatedController::motorBehaviour() const
{
    return motor.behaviour;
}

void SimulatedController::setMotorBehaviour(const MotorBehaviour& behaviour)
{
    motor.behaviour = behaviour;
}

QByteArray SimulatedController::answer(const QByteArray& request, double now)
{
    nowMs = now;
    motor.advance(nowMs, registers);
    const quint8 function = static_cast<quint8>(request.at(1));
    switch (function) {
    case SimModbus::ReadHoldingRegisters:
        return answerRead(request);
    case SimModbus::WriteMultipleRegisters:
        return answerWrite(request);
    default:
        return SimModbus::exceptionReply(SlaveAddress, function, SimModbus::IllegalFunction);
    }
}

QByteArray SimulatedController::answerRead(const QByteArray& request) const
{
    const int address = word(request, 2);
    const int count = word(request, 4);
    if (count < 1 || count > SimModbus::MaxReadCount)
        return SimModbus::exceptionReply(SlaveAddress, SimModbus::ReadHoldingRegisters,
                                         SimModbus::IllegalDataValue);
    if (address + count > RegisterCount)
        return SimModbus::exceptionReply(SlaveAddress, SimModbus::ReadHoldingRegisters,
                                         SimModbus::IllegalDataAddress);

    QByteArray reply;
    reply.append(static_cast<char>(SlaveAddress));
    reply.append(static_cast<char>(SimModbus::ReadHoldingRegisters));
    reply.append(static_cast<char>(count * 2));
    for (int i = 0; i < count; ++i)
        appendWord(reply, registers.at(address + i));
    return SimModbus::withCrc(reply);
}

QByteArray SimulatedController::answerWrite(const QByteArray& request)
{
    const int address = word(request, 2);
    const int count = word(request, 4);
    const int byteCount = static_cast<quint8>(request.at(6));
    if (count < 1 || count > SimModbus::MaxWriteCount || byteCount != count * 2)
        return SimModbus::exceptionReply(SlaveAddress, SimModbus::WriteMultipleRegisters,
                                         SimModbus::IllegalDataValue);
    if (address + count > RegisterCount)
        return SimModbus::exceptionReply(SlaveAddress, SimModbus::WriteMultipleRegisters,
                                         SimModbus::IllegalDataAddress);

    for (int i = 0; i < count; ++i)
        storeWritten(address + i, static_cast<quint16>(word(request, 7 + 2 * i)));
    return SimModbus::withCrc(request.left(6));
}

// A few registers are commands rather than storage.
void SimulatedController::storeWritten(int address, quint16 value)
{
    if (address == FlashSaveRegister && value == FlashSaveCommand && !flashFails) {
        registers[address] = FlashSaveConfirmed;
    } else if (address == FaultClearRegister && value == 1) {
        if (!motor.behaviour.stickyFaults) {
            registers[FaultRegister] = 0;
            registers[Fault2Register] = 0;
        }
        registers[address] = 0;
    } else if (address == SimulatedMotor::DiscoveryModeRegister) {
        registers[address] = value;
        motor.startDiscovery(value, nowMs, registers);
    } else {
        registers[address] = value;
    }
}

#include "simulatedmotor.h"

#include <algorithm>
#include <cmath>

namespace {

enum Register {
    PolePairs = 78,
    Faults = 258,
    MotorRpm = 263,
    DigitalInputs = 276,
    PhaseCurrentBlue = 282,
    MeasuredRs = 425,
    MeasuredLs = 426,
    LearntHallSectors = 440,
    LearntHallOffset = 460,
    LearntKv = 462,
};

enum Mode {
    Idle = 0,
    Measure = 1,
    Spin = 2,
};

const double spinRpm = 250.0;
const double spinUpMs = 1000.0;
const double sectorMs = 20.0;
const double measuringAmps = 3.0;
const double spinningAmps = 15.0;
const double hallOffsetScale = 65536.0 / 720.0;
const int hallBits = 0x7;

quint16 word(double value)
{
    const long rounded = std::lround(value);
    return static_cast<quint16>(std::clamp<long>(rounded, -32768, 65535) & 0xFFFF);
}

} // namespace

void SimulatedMotor::startDiscovery(int newMode, double nowMs, QVector<quint16>& registers)
{
    advance(nowMs, registers);
    mode = newMode == Measure || newMode == Spin ? newMode : Idle;
    startMs = nowMs;
    if (mode == Idle) {
        registers[MotorRpm] = 0;
        setCurrents(0.0, registers);
    }
}

void SimulatedMotor::advance(double nowMs, QVector<quint16>& registers)
{
    const double elapsed = nowMs - startMs;
    if (mode == Measure) {
        if (elapsed < behaviour.staticMs || behaviour.discoveryStuck)
            showMeasurement(registers);
        else
            finishMeasurement(registers);
    } else if (mode == Spin) {
        if (elapsed < behaviour.spinMs || behaviour.discoveryStuck)
            showSpin(elapsed, registers);
        else
            finishSpin(registers);
    }
}

void SimulatedMotor::setCurrents(double amps, QVector<quint16>& registers) const
{
    for (int phase = 0; phase < 3; ++phase) {
        const bool dead = !behaviour.connected || (behaviour.deadPhases & (1 << phase));
        // The sign alternates between phases as in a real winding.
        registers[PhaseCurrentBlue + phase] = word(dead ? 0.0 : (phase == 1 ? -amps : amps) * 10.0);
    }
}

void SimulatedMotor::showMeasurement(QVector<quint16>& registers) const
{
    setCurrents(measuringAmps, registers);
}

void SimulatedMotor::finishMeasurement(QVector<quint16>& registers)
{
    const bool high = behaviour.inconsistent && measurements % 2 == 1;
    const double factor =
        behaviour.connected ? (high ? 1.2 : 1.0 + 0.01 * (measurements % 3)) : 0.0;
    ++measurements;
    registers[MeasuredRs] = word(behaviour.rsMilliOhm * factor * 100.0);
    registers[MeasuredLs] = word(behaviour.lsMicroHenry * factor * 10.0);
    registers[DiscoveryModeRegister] = 0;
    setCurrents(0.0, registers);
    mode = Idle;
}

void SimulatedMotor::showSpin(double elapsedMs, QVector<quint16>& registers) const
{
    const bool turning = behaviour.connected && !behaviour.stall;
    const double rpm = turning ? spinRpm * std::min(1.0, elapsedMs / spinUpMs) : 0.0;
    const int polePairs = std::max<int>(1, registers[PolePairs]);
    registers[MotorRpm] = word(rpm * polePairs / 60.0);
    setCurrents(spinningAmps, registers);

    // The hall inputs show the state of the sector the rotor is in.
    const int sector = turning ? int(elapsedMs / sectorMs) % 6 : 0;
    const int state = int(behaviour.hallTable.indexOf(sector));
    registers[DigitalInputs] =
        quint16((registers[DigitalInputs] & ~hallBits) | (state > 0 ? state : 0));
}

// Without a motor nothing turned: no hall state was seen, and no hall
// offset or Kv was learnt, so those registers keep what they held.
void SimulatedMotor::finishSpin(QVector<quint16>& registers)
{
    for (int state = 0; state < 8; ++state)
        registers[LearntHallSectors + state] =
            word(behaviour.connected ? behaviour.hallTable.value(state, 15) : 15);
    if (behaviour.connected) {
        registers[LearntHallOffset] = word(behaviour.hallOffsetDegrees * hallOffsetScale);
        registers[LearntKv] = word(behaviour.kv * 100.0);
    }
    registers[Faults] = quint16(registers[Faults] | behaviour.spinFaults);
    registers[DiscoveryModeRegister] = 0;
    registers[MotorRpm] = 0;
    setCurrents(0.0, registers);
    mode = Idle;
}

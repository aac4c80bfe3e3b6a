#ifndef AUTOTUNEREGISTERS_H
#define AUTOTUNEREGISTERS_H

// The controller registers the autotune reads and writes.
namespace AutotuneRegister {

enum : int {
    RatedVoltage = 70,
    Kv = 72,
    Ls = 74,
    Rs = 75,
    SensorType = 77,
    PolePairs = 78,
    HallOffset = 79,
    HallSectors = 80, // 80..87, the working table
    SpinupTime = 109,
    MotorFeatures = 127,
    Firmware = 256,
    Faults = 258,
    MotorRpm = 263,
    PhaseCurrentBlue = 282,
    PhaseCurrentYellow = 283,
    PhaseCurrentGreen = 284,
    Faults2 = 299,
    MeasuredRs = 425,
    MeasuredLs = 426,
    LearntHallSectors = 440, // 440..447, the table the spin learnt
    LearntHallOffset = 460,
    LearntKv = 462,
    LearntBlockEnd = 464,
    TorqueCommand = 477,
    DiscoveryMode = 481,
    FaultClear = 508,
};

} // namespace AutotuneRegister

#endif // AUTOTUNEREGISTERS_H

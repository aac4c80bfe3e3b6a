#ifndef LINKCASES_H
#define LINKCASES_H

// Helpers shared by the link tests that talk to the controller simulator.

#include "controllersimulator.h"
#include "portclient.h"

#include <QStringList>
#include <QVector>

inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

inline QString spaced(const QByteArray& frame)
{
    return frame.toHex(' ');
}

// When the simulator logged each frame of one direction, in ms.
inline QVector<double>
entryTimes(const ControllerSimulator& sim,
           ControllerSimulator::Direction direction = ControllerSimulator::Request)
{
    QVector<double> times;
    for (const auto& entry : sim.frameLog()) {
        if (entry.direction == direction)
            times << entry.elapsedMs;
    }
    return times;
}

// The five blocks of a read-all, as spaced hex.
inline QStringList readAllFrames()
{
    return {spaced(Frames::read(0, 125)), spaced(Frames::read(125, 125)),
            spaced(Frames::read(250, 125)), spaced(Frames::read(375, 125)),
            spaced(Frames::read(500, 11))};
}

// The identity check's read below firmware 6000: 237 and 238 with the
// firmware at 256, in one frame.
inline QString identityCheckFrame()
{
    return spaced(Frames::read(237, 20));
}

// The failure report of the link, of a read or a write; a timeout adds the advice.
inline QString failureText(const QString& errorCode, const QString& errorText, bool advice = false,
                           const QString& operation = "read")
{
    QString text = "Communication fail. Could not " + operation
        + " parameter(s) requested.\nError code: " + errorCode + " " + errorText
        + "\n\nThis is likely a disconnection between the controller and your computer.\n"
          "Ensure your controller is: \n"
          "  - Not running while you're trying to save parameters or autotune\n"
          "  - Connected correctly to the power source\n"
          "  - Connected correctly to the serial cord\n"
          "  - Connected correctly to the computer\n"
          "\nand please try again.";
    if (advice)
        text +=
            "\n\nIf this error continues to reappear and the connection has been checked, please go to "
            "File->Preferences->Communication Speed, double the 'Communication Timeout' time, and try "
            "again.\n\nIf that does not resolve the issue, it is likely that the CRC check is failing "
            "(data coming from the controller is corrupted), likely due to using a noisy power supply or "
            "electromagnetic interference.Try using a battery instead of a power supply, reducing cable "
            "length, checking connections, and straightening any loops of cable";
    return text;
}

#endif // LINKCASES_H

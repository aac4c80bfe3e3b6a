#ifndef CABLECONSOLE_H
#define CABLECONSOLE_H

#include "cableadapter.h"
#include "controllersimulator.h"

#include <QObject>
#include <QString>
#include <QVector>

class QSocketNotifier;
class QTextStream;

// Moves an adapter's cable between numbered controllers on commands typed
// a line at a time:
//
//   move N [after MS] [on TRIGGER] [reaching old|reaching new]
//   unplug [on TRIGGER]
//   where
//
// with TRIGGER one of "next frame", "next read", "next write", "frame K"
// (the Kth frame from now), "read at ADDR", "write to ADDR" and "touching
// ADDR". "after MS" unplugs the cable for MS first; the frame that sets a
// move off is lost unless it reaches the old or the new controller. Each
// move is told on the output as it happens; with the log on, so is every
// frame, reply and lost reply, and every frame a controller took with a
// fault noted (how its reply was spoilt or lost) or threw away.
class CableConsole : public QObject
{
    Q_OBJECT

public:
    CableConsole(CableAdapter* adapter, const QVector<ControllerSimulator*>& controllers,
                 QObject* parent = nullptr);

    // Reads commands from the descriptor (standard input) until its end.
    void readCommandsFrom(int fd);
    void setLogging(bool on);
    // Carries one command out; false with the reason when it cannot be.
    bool execute(const QString& line, QString* error);

private slots:
    void readCommands();
    void tell(const CableAdapter::LogEntry& entry);
    void tellFault(ControllerSimulator* controller, const ControllerSimulator::LogEntry& entry);

private:
    bool parseTrigger(const QStringList& words, int* at, CableAdapter::Trigger* trigger,
                      QString* error) const;
    int controllerNumber(const ControllerSimulator* controller) const;
    QString nameOf(const ControllerSimulator* controller) const;

    CableAdapter* adapter;
    QVector<ControllerSimulator*> controllers;
    QSocketNotifier* input = nullptr;
    QByteArray partLine;
    bool logging = false;
};

#endif // CABLECONSOLE_H

#ifndef SIMULATORWORKER_H
#define SIMULATORWORKER_H

#include "controllersimulator.h"

#include <QByteArray>
#include <QObject>

class QTimer;
class TerminalChannel;
struct SimulatorState;

// Serves the master side of the pseudo-terminal from the simulator's own
// thread: gathers request frames, has them answered and sends the replies,
// with the faults the shared state asks for.
class SimulatorWorker : public QObject
{
    Q_OBJECT

public:
    SimulatorWorker(int masterFd, int slaveFd, SimulatorState* state);

public slots:
    // Runs in the serving thread once it has started.
    void begin();
    // A garbage byte every intervalMs; 0 stops it.
    void setNoise(int intervalMs, char byte);

signals:
    void frameLogged(const ControllerSimulator::LogEntry& entry);
    // A request asked the terminal to close; it serves nothing more.
    void hungUp();

private slots:
    void takeBytes(const QByteArray& arrived);
    void endOfGap();

private:
    void takeCompleteFrames();
    void handleRequest(const QByteArray& frame);
    void discard(const QByteArray& bytes, const QString& why);
    void send(const QByteArray& bytes, const QString& note);
    void log(ControllerSimulator::Direction direction, const QByteArray& bytes,
             const QString& note);
    int frameGap() const;
    bool takeRequestTwice();

    int masterFd;
    int slaveFd;
    SimulatorState* state;
    TerminalChannel* channel = nullptr;
    QTimer* gapTimer = nullptr;
    QTimer* noiseTimer = nullptr;
    char noiseByte = 0x55;
    QByteArray input;
    double lastInputMs = 0;
};

#endif // SIMULATORWORKER_H

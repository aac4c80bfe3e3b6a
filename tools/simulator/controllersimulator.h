#ifndef CONTROLLERSIMULATOR_H
#define CONTROLLERSIMULATOR_H

#include "pseudoterminal.h"
#include "replynoise.h"
#include "workerthread.h"
#include "simulatedmotor.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class SimulatorWorker;
struct SimulatorState;

// A Kelvara controller on a pseudo-terminal: a Modbus RTU slave (address 1,
// functions 3 and 16) over 2048 holding registers, with knobs for the
// faults a link must survive and a log of every frame.
//
// Clients open portName() like a serial port, as often as they like; the
// simulator keeps the terminal alive between opens and serves it from its
// own thread, so a client's nested event loops never stall it. Registers,
// faults and the log may be used from any thread; start(), stop(), the wait
// functions and the signals belong to the thread that owns the simulator.
class ControllerSimulator : public QObject
{
    Q_OBJECT

public:
    enum Direction {
        Request,   // a complete frame from the master
        Reply,     // bytes sent back
        Discarded, // bytes that never made a frame (bad CRC, cut off)
    };
    Q_ENUM(Direction)

    struct LogEntry
    {
        double elapsedMs = 0; // monotonic, since the simulator was created
        Direction direction = Request;
        QByteArray bytes;
        QString note; // the faults applied, or why bytes were discarded
    };

    static constexpr int RegisterCount = 2048;
    static constexpr int SlaveAddress = 1;
    static constexpr int Forever = -1; // a fault count that never runs out

    explicit ControllerSimulator(QObject* parent = nullptr);
    ~ControllerSimulator() override;

    // Opens the pseudo-terminal and starts serving; false with
    // errorString() when the terminal cannot be had.
    bool start();
    void stop();
    bool isRunning() const;
    // The path to open, e.g. "/dev/pts/3"; empty until started.
    QString portName() const;
    QString errorString() const;

    // Registers. Values from -32768 to 65535 are taken, negative ones as
    // two's complement; false for an address or value out of range.
    quint16 registerValue(int address) const;
    QVector<quint16> registerValues(int address, int count) const;
    bool setRegisterValue(int address, int value);
    void clearRegisters();

    // Sets the registers a file names and leaves the others alone; on
    // failure nothing changes and errorString() tells why.
    bool loadImage(const QString& fileName);
    bool loadImageData(const QByteArray& data);
    // The suite's embedded initial values; false when they are not built in.
    bool loadDefaultImage();
    static QString defaultImagePath();

    // Controller behaviour. A write of 32767 to register 511 reads back as
    // 4096 (saved to flash) unless the save is made to fail; a write of 1 to
    // register 508 clears the fault registers 258 and 299; a write of 1 or 2
    // to register 481 measures or spins the motor (see SimulatedMotor).
    void setFlashSaveFails(bool fails);
    void setTorqueCommand(int value);
    // The motor that the discovery modes of register 481 measure and spin.
    MotorBehaviour motorBehaviour() const;
    void setMotorBehaviour(const MotorBehaviour& behaviour);

    // Faults. "times" counts the requests or replies a fault applies to:
    // 0 switches it off, Forever keeps it on.
    void setSilent(bool silent);
    void silenceNextRequests(int times);
    // Every nth request from now goes unanswered (2: the second, the
    // fourth, ...), until switched off (0); with other faults, replies
    // spoiled and lost in turn.
    void silenceEvery(int nth);
    void setSilentAtAddress(int address, bool silent = true);
    // A link that drops every frame for ms from now: requests are neither
    // carried out nor answered (unlike a stopped simulator, whose terminal
    // keeps them for later).
    void dropRequestsFor(int ms);
    // The next requests that start at the address are carried out, but
    // their replies are lost on the line.
    void loseRepliesAtAddress(int address, int times = 1);
    void setReplyDelay(int ms);
    // Replies take as long as their bytes would on a line of this rate (ten
    // bits a byte), after the delay; 0 switches it off. The log's note tells
    // a reply held back either way ("reply delayed 59 ms").
    void setLineRate(int bitsPerSecond);
    void corruptCrc(int times = 1);
    // Every reply to a request that starts at the address comes with its
    // CRC spoiled (the request is carried out), until switched off.
    void setBadCrcAtAddress(int address, bool bad = true);
    void shortenReplies(int missingBytes = 1, int times = 1);
    void lengthenReplies(int extraBytes = 2, int times = 1);
    // Garbage bytes on the line just before the next replies.
    void prefixReplies(int garbageBytes = 2, int times = 1);
    // Rejects the request (not carried out) with function | 0x80 and code.
    void replyWithException(int exceptionCode = 4, int times = 1);
    // Rejects every request that starts at the address; code 0 stops it.
    void setExceptionAtAddress(int address, int exceptionCode = 2);
    // Replies that carry another slave address or function code, good CRC.
    void replyFromSlave(int slaveAddress = 2, int times = 1);
    void replyWithFunction(int functionCode = 4, int times = 1);
    // Sends the next replies a second time, delayMs after the first.
    void duplicateReplies(int delayMs = 300, int times = 1);
    // A master that sends every frame twice: the next requests each
    // arrive a second time right after the first, and each arrival is
    // carried out, logged and answered.
    void takeRequestsTwice(int times = 1);
    // A noisy line: a garbage byte (0x55, or the one given, such as an
    // idle line's 0xFF) every intervalMs, until switched off (0).
    void setLineNoise(int intervalMs, char byte = 0x55);
    // A line that spoils percent (0: none) of the replies at random, each
    // evenly one way of three: one byte changed, the reply lost (the
    // request is carried out) or one byte lost; the log's note tells how
    // ("noise: byte 4 of 7 changed", "noise: reply lost", "noise: byte 4
    // of 7 lost"). The same seed spoils the same replies, by their order,
    // the same way; each call starts from the seed again. A kind other
    // than Mixed spoils every reply it spoils its one way.
    void setNoise(double percent, quint32 seed = 1, ReplyNoise::Kind kind = ReplyNoise::Mixed);
    // The port vanishes while a reply is awaited: the request-th request
    // from now goes unanswered and the simulator stops, closing the terminal.
    void closeTerminalAtRequest(int request = 1);
    // Switches every fault off; registers and flash behaviour stay.
    void resetFaults();

    // Silence after which a partly received frame is thrown away (50 ms).
    void setFrameGap(int ms);

    // The log.
    QVector<LogEntry> frameLog() const;
    QVector<QByteArray> requests() const;
    QVector<QByteArray> replies() const;
    int requestCount() const;
    int replyCount() const;
    void clearLog();
    // Now, on the log's clock.
    double elapsedMs() const;

    // Run the caller's event loop until the log holds count requests (or
    // replies) or timeoutMs has passed; true when they are there.
    bool waitForRequests(int count, int timeoutMs = 5000);
    bool waitForReplies(int count, int timeoutMs = 5000);
    bool waitForEntries(Direction direction, int count, int timeoutMs = 5000);

signals:
    void frameLogged(const ControllerSimulator::LogEntry& entry);
    void requestReceived(const QByteArray& frame);
    void replySent(const QByteArray& frame);

private slots:
    void relayLogEntry(const ControllerSimulator::LogEntry& entry);

private:
    int countOf(Direction direction) const;
    QVector<QByteArray> bytesOf(Direction direction) const;
    void setError(const QString& text);
    void closeTerminal();

    std::unique_ptr<SimulatorState> state;
    WorkerThread serving;
    SimulatorWorker* worker = nullptr;
    PseudoTerminal terminal;
    QString ptsName; // the terminal's name, for any thread
    QString lastError;
};

Q_DECLARE_METATYPE(ControllerSimulator::LogEntry)

#endif // CONTROLLERSIMULATOR_H

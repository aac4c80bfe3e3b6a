#ifndef SCRIPTEDCONTROLLER_H
#define SCRIPTEDCONTROLLER_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <mutex>
#include <thread>

// A controller on a pseudo-terminal that answers as a script tells it:
// each request it receives takes the next step of the script (a good reply,
// silence, a late, cut-off, corrupted, foreign or lying reply, garbage, a
// refusal, or the terminal vanishing). Once the script is used up it
// answers every request well, unless a step said how it answers from then
// on: a byte short or long, with a refusal, as another controller (other
// serial numbers), not at all, with a bad CRC, or each of these in turn. It serves from a
// thread of its own, so its timing does not depend on the link's event
// loop.
//
// Every step writes its bytes at one moment, except a good reply followed
// by late garbage. A late reply is meant to come no later than 1.3 units
// after its request, and the link waits at least a unit: so none of its
// answers can pass for the answer to another request unless the link mixes
// them up. On a loaded machine the controller's thread may be late itself;
// each answer tells whether it kept that promise.
class ScriptedController
{
public:
    // unitMs: the shortest wait the link gives a request.
    ScriptedController(const QByteArray& script, int unitMs);
    ~ScriptedController();

    // Opens the terminal and starts serving; false when no terminal can be had.
    bool start();
    QString portName() const { return m_portName; }

    // An answer written to the line.
    struct Answer
    {
        QByteArray request;
        QByteArray bytes;
        // Written within 1.3 units of the link's last send of its request.
        bool keptTiming = true;
    };

    // The last complete request with a good CRC that came in.
    QByteArray lastRequest() const;
    // The answers written so far of which reply is the beginning.
    QVector<Answer> answersWith(const QByteArray& reply) const;
    // The link has just put frame on the line.
    void noteLinkSent(const QByteArray& frame);

    // What the controller holds; a read answers these values.
    static quint16 registerValue(int address);
    // What another controller holds: other serial numbers.
    static quint16 otherControllersValue(int address);

private:
    struct Pending
    {
        qint64 dueMs;
        QByteArray bytes;
        QByteArray request;
    };

    void serve();
    void takeRequests();
    void answer(const QByteArray& request);
    void answerForever(const QByteArray& request);
    void send(const QByteArray& request, const QByteArray& bytes, qint64 delayMs);
    void writeDue();
    void closeTerminal();
    quint8 take();
    QByteArray garbage(int count);
    qint64 nowMs() const;
    static qint64 nowUs();
    void noteWritten(const Pending& pending);

    QByteArray m_script;
    int m_position = 0;
    int m_forever = -1; // the step every request takes once the script has ended
    int m_foreverCount = 0;
    int m_unitMs;
    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakeFds[2] = {-1, -1};
    QString m_portName;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    QByteArray m_input;
    qint64 m_lastInputMs = 0;
    QVector<Pending> m_pending;

    mutable std::mutex m_mutex; // guards what the link's thread reads
    QByteArray m_lastRequest;
    QVector<Answer> m_answers;
    QVector<QPair<QByteArray, qint64>> m_linkSends; // (frame, when the link sent it, in us)
};

#endif // SCRIPTEDCONTROLLER_H

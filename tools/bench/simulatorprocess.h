#ifndef SIMULATORPROCESS_H
#define SIMULATORPROCESS_H

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QVector>

// kelvara-sim in a process of its own, as an independent slave: started with
// its log on, so that every request is stamped on the slave's side of the
// wire, and reachable through a link in a scratch folder.
class SimulatorProcess : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        double ms = 0.0; // on the simulator's clock
        QByteArray frame;
        QByteArray note; // the faults the simulator applied, e.g. "noise: reply lost"
    };

    explicit SimulatorProcess(QObject* parent = nullptr);
    ~SimulatorProcess() override;

    // Starts the simulator (beside this program) and waits until it serves.
    bool start(const QStringList& extraArguments = {});
    // Named after its scratch folder: the port's lock file is named after
    // the port, so two simulators must not share a name.
    QString portPath() const;
    QString errorString() const { return m_error; }
    qint64 processId() const { return m_process.processId(); }

    // A command on the simulator's standard input, e.g. "move 1 after 1500"
    // to the cable of an adapter started with --controller.
    void tell(const QByteArray& command);

    // The requests logged so far, in order.
    const QVector<Request>& requests() const { return m_requests; }
    // Stamps of the read requests for count registers from address.
    QVector<double> readStamps(int address, int count, int fromIndex = 0) const;

signals:
    // A line of the simulator's output other than a logged frame, e.g.
    // "cable on controller 1".
    void said(const QByteArray& line);

private:
    void collectLog();

    QTemporaryDir m_dir;
    QProcess m_process;
    QByteArray m_pending;
    QVector<Request> m_requests;
    QString m_error;
};

// The read-all spans in a list of stamps of its first block: each span is
// one read-all on the wire, from its first request to the next one's.
QVector<double> spansBetween(const QVector<double>& stamps);
double median(QVector<double> values);

#endif // SIMULATORPROCESS_H

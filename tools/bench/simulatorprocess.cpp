#include "simulatorprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace {

const int startTimeLimitMs = 10000;

} // namespace

SimulatorProcess::SimulatorProcess(QObject* parent)
    : QObject(parent)
{
}

SimulatorProcess::~SimulatorProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished();
    }
}

QString SimulatorProcess::portPath() const
{
    return m_dir.filePath(QStringLiteral("sim-") + QFileInfo(m_dir.path()).fileName());
}

bool SimulatorProcess::start(const QStringList& extraArguments)
{
    const QString program = QCoreApplication::applicationDirPath() + "/kelvara-sim";
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, QStringList{"--log", "--link", portPath()} + extraArguments);
    if (!m_process.waitForStarted()) {
        m_error = program + ": " + m_process.errorString();
        return false;
    }
    // Its first line, the path to connect to, says it serves.
    QElapsedTimer clock;
    clock.start();
    while (!m_pending.contains('\n')) {
        if (clock.elapsed() > startTimeLimitMs || !m_process.waitForReadyRead(startTimeLimitMs)) {
            m_error = "kelvara-sim did not start: "
                + QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
        m_pending += m_process.readAllStandardOutput();
    }
    m_pending.remove(0, m_pending.indexOf('\n') + 1);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimulatorProcess::collectLog);
    collectLog();
    return true;
}

// "    1234.567 ms -> 01 03 00 00 00 7d 85 eb"
void SimulatorProcess::collectLog()
{
    m_pending += m_process.readAllStandardOutput();
    int end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        const int arrow = line.indexOf(" ms -> ");
        if (arrow < 0) {
            if (!line.isEmpty() && !line.contains(" ms "))
                emit said(line);
            continue;
        }
        QByteArray hex = line.mid(arrow + 7);
        Request request;
        const int note = hex.indexOf("  (");
        if (note >= 0) {
            request.note = hex.mid(note + 3).chopped(1);
            hex.truncate(note);
        }
        request.ms = line.left(arrow).toDouble();
        request.frame = QByteArray::fromHex(hex);
        m_requests.append(request);
    }
}

void SimulatorProcess::tell(const QByteArray& command)
{
    m_process.write(command + '\n');
}

QVector<double> SimulatorProcess::readStamps(int address, int count, int fromIndex) const
{
    const QByteArray head = QByteArray::fromHex("0103") + char(address >> 8) + char(address & 0xff)
        + char(count >> 8) + char(count & 0xff);
    QVector<double> stamps;
    for (int i = fromIndex; i < m_requests.size(); ++i) {
        if (m_requests.at(i).frame.startsWith(head))
            stamps.append(m_requests.at(i).ms);
    }
    return stamps;
}

QVector<double> spansBetween(const QVector<double>& stamps)
{
    QVector<double> spans;
    for (int i = 1; i < stamps.size(); ++i)
        spans.append(stamps.at(i) - stamps.at(i - 1));
    return spans;
}

double median(QVector<double> values)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values.at(middle) : (values.at(middle - 1) + values.at(middle)) / 2;
}

#include "minimalmaster.h"

#include <QEventLoop>
#include <QTimer>

namespace {

const int blockSize = 125;
const int lastBlockAddress = 500;
const int lastBlockSize = 11;

QByteArray withCrc(QByteArray frame)
{
    quint16 crc = 0xFFFF;
    for (const char byte : qAsConst(frame)) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return frame + char(crc & 0xFF) + char(crc >> 8);
}

} // namespace

MinimalMaster::MinimalMaster(const QString& portName, int timeoutMs)
    : m_timeoutMs(timeoutMs)
{
    m_port.setPortName(portName);
    m_port.setBaudRate(QSerialPort::Baud115200);
}

bool MinimalMaster::readAll()
{
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    bool answered = true;
    for (int address = 0; address < lastBlockAddress; address += blockSize)
        answered = readBlock(address, blockSize) && answered;
    answered = readBlock(lastBlockAddress, lastBlockSize) && answered;
    m_port.close();
    return answered;
}

bool MinimalMaster::readBlock(int address, int count)
{
    m_port.clear(QSerialPort::Input);
    const QByteArray request = QByteArray::fromHex("0103") + char(address >> 8)
        + char(address & 0xFF) + char(count >> 8) + char(count & 0xFF);
    m_port.write(withCrc(request));
    m_port.flush();
    QEventLoop wait;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &wait, &QEventLoop::quit);
    timer.start(m_timeoutMs);
    wait.exec();
    return m_port.readAll().size() == count * 2 + 5;
}

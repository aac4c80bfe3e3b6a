#ifndef MINIMALMASTER_H
#define MINIMALMASTER_H

#include <QSerialPort>
#include <QString>

// The smallest Modbus master with the suite's timing, as a benchmark's
// baseline: a read-all's five blocks, each sent on a port kept open for the
// read-all and given its full reply timeout on a precise timer before the
// next one goes. What is left above 5 x the timeout is what the machine
// costs any master.
class MinimalMaster
{
public:
    explicit MinimalMaster(const QString& portName, int timeoutMs = 250);

    // One read-all; true when every block was answered in full.
    bool readAll();

private:
    bool readBlock(int address, int count);

    QSerialPort m_port;
    int m_timeoutMs;
};

#endif // MINIMALMASTER_H

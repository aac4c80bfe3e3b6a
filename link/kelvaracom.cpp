#include "kelvaracom.h"

#include "commtimer.h"
#include "exceptionreply.h"
#include "failurereport.h"
#include "identitycheck.h"
#include "identitygate.h"
#include "kelvara.h"
#include "logger.h"
#include "readallepochs.h"
#include "unflashedwrites.h"

#include <QTimer>

KelvaraCom::KelvaraCom(Kelvara* model, QObject* parent)
    : QObject(parent)
    , runner(model)
    , port(new QSerialPort(this))
    , timer(new CommTimer)
    , devLogger(new Logger(this, model))
    , quietLineTimer(new QTimer(this))
    , epochs(std::make_unique<ReadAllEpochs>())
    , gate(std::make_unique<IdentityGate>())
    , check(std::make_unique<IdentityCheck>())
    , owedStop(std::make_unique<OwedStop>())
    , stopProbe(new QTimer(this))
    , unflashed(std::make_unique<UnflashedWrites>())
{
    quietLineTimer->setSingleShot(true);
    quietLineTimer->setTimerType(Qt::PreciseTimer);
    connect(quietLineTimer, &QTimer::timeout, this, &KelvaraCom::sendAfterQuietLine);

    port->setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);

    // The end of a batch starts whatever work waits in the queues.
    connect(this, &KelvaraCom::comError, this, &KelvaraCom::processWriteQueue);
    connect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processWriteQueue);
    connect(this, &KelvaraCom::comError, this, &KelvaraCom::processReadQueue);
    connect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::processReadQueue);
    connect(timer, &CommTimer::notifyTimeout, this, &KelvaraCom::handleReply);

    // A stop owed goes once the batch has ended and nothing waits.
    connect(this, &KelvaraCom::comSuccess, this, &KelvaraCom::goOnWithOwedStop);
    connect(this, &KelvaraCom::comError, this, &KelvaraCom::goOnWithOwedStop);
    connect(this, &KelvaraCom::controllerConnected, this, &KelvaraCom::goOnWithOwedStop);
    connect(this, &KelvaraCom::controllerDisconnected, this, &KelvaraCom::goOnWithOwedStop);
    stopProbe->setInterval(stopProbeIntervalMs / 4);
    connect(stopProbe, &QTimer::timeout, this, &KelvaraCom::probeForStop);
}

KelvaraCom::~KelvaraCom()
{
    delete port;
    delete timer;
    delete devLogger;
    delete autotuneLog;
}

QString KelvaraCom::getStatusString(KelvaraCom::Status status)
{
    switch (status) {
    case StatusSuccess:
        return QStringLiteral("Success");
    case StatusInvalidSerialPort:
        return QStringLiteral("Invalid serial port");
    case StatusCommunicationTimeout:
        return QStringLiteral("Communication timeout");
    case StatusFailedSendingReadMessage:
        return QStringLiteral("Failed sending read message");
    case StatusControllerConnected:
        return QStringLiteral("Controller connected");
    case StatusControllerDisconnected:
        return QStringLiteral("Controller disconnected");
    }
    return QStringLiteral("Unknown status");
}

QString KelvaraCom::statusName() const
{
    if (status == StatusInvalidSerialPort)
        return refusal().name();
    if (status == StatusCommunicationTimeout) {
        const QString unanswered = FailureReport::unansweredName(tally);
        if (!unanswered.isEmpty())
            return unanswered;
    }
    return getStatusString(status);
}

void KelvaraCom::setCurrentPortName(QString name)
{
    portName = name;
}

bool KelvaraCom::setBaud(QSerialPort::BaudRate rate)
{
    return setBaud(qint32(rate));
}

bool KelvaraCom::setBaud(qint32 rate)
{
    switch (rate) {
    case QSerialPort::Baud1200:
    case QSerialPort::Baud2400:
    case QSerialPort::Baud4800:
    case QSerialPort::Baud9600:
    case QSerialPort::Baud19200:
    case QSerialPort::Baud38400:
    case QSerialPort::Baud57600:
    case QSerialPort::Baud115200:
        return port->setBaudRate(rate, QSerialPort::AllDirections);
    default:
        return false;
    }
}

qint32 KelvaraCom::getBaud() const
{
    return port->baudRate(QSerialPort::AllDirections);
}

int KelvaraCom::getTimeoutTime() const
{
    return timer->getTimeoutTime();
}

int KelvaraCom::getDefaultTimeout() const
{
    return timer->getDefaultTimeout();
}

int KelvaraCom::getMaxTimeout() const
{
    return timer->getMaxTimeout();
}

void KelvaraCom::setTimeoutTime(int t)
{
    timer->setTimeoutTime(t, false);
}

void KelvaraCom::setDefaultTimeout(int t)
{
    timer->setTimeoutTime(t, true);
}

void KelvaraCom::ignoreConnectionFails(bool ignore)
{
    connectionFailsIgnored = ignore;
}

void KelvaraCom::setRunnerValid(bool valid)
{
    runner->setValid(valid);
}

void KelvaraCom::dropPendingWork()
{
    timer->stopTimer();
    timer->resetTime();
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::readReply);
    // A frame waiting for the line to go quiet belongs to the old port.
    quietLineTimer->stop();
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::discardLateAnswer);
    frameAfterQuietLine.clear();
    forgetLateAnswers();
    lateAnswerWindowMs = 0;
    if (port->isOpen())
        port->close();
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::readWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::writeWrapper);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash);
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::checkConnectionWrapper);
    endIdentityCheck();
    clearQueues();
    mode = IdleMode;
    readState = ReadState::Idle;
    writeState = WriteState::Idle;
    flashSaveState = FlashSaveState::Idle;
    connectionCheckState = ConnectionCheckState::Idle;
    requestInFlight = 0;
    readMachineRequest = 0;
    writeMachineRequest = 0;
    flashSaveRequest = 0;
    connectionCheckRequest = 0;
    currentReadPurpose = PlainRead;
    readAllBlockInFlight = false;
    readAllSucceeded = false;
    earlyReadSendFailed = false;
    requestResent = false;
    statusReadFailedSinceCheck = false;
    checkRidesOnStatusRead = false;
    probing = false;
    heldFrame = HeldFrame();
    epochs->clear();
    readAllRepeats = 0;
    // What was sent may have reached the controller.
    keepUnflashedWrites();
    // Whoever answers on the new port has not been read.
    identifyBeforeNextWrite();
}

void KelvaraCom::clearCloseIfOpen()
{
    if (port->isOpen()) {
        port->clear(QSerialPort::AllDirections);
        port->close();
    }
    clearQueues();
}

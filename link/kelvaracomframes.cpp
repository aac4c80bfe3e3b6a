// Modbus RTU frames, sending one frame, collecting and judging its reply.
#include "kelvaracom.h"

#include "commtimer.h"
#include "exceptionreply.h"
#include "frameword.h"
#include "kelvara.h"
#include "identitygate.h"
#include "logger.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "replyjudgement.h"

#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const char slaveAddress = 1;
const int faultsAddress = 258;
const int slowFaultReadMarginMs = 1000;

QByteArray spacedHex(const QString& hex)
{
    QString spaced;
    spaced.reserve(hex.size() + hex.size() / 2);
    for (int i = 0; i < hex.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            spaced += QLatin1Char(' ');
        spaced += hex.at(i);
    }
    return spaced.toLatin1();
}

} // namespace

QString niceHex(QString hex)
{
    return QString::fromLatin1(spacedHex(hex)) + QLatin1Char('\n');
}

QString KelvaraCom::niceHex(QString hex)
{
    return QString::fromLatin1(spacedHex(hex));
}

QByteArray KelvaraCom::calculateCRC(QByteArray data)
{
    quint16 crc = 0xFFFF;
    for (const char byte : qAsConst(data)) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    QByteArray result(2, 0);
    result[0] = char(crc & 0xFF);
    result[1] = char(crc >> 8);
    return result;
}

QByteArray KelvaraCom::fillInCRC(QByteArray msg)
{
    return msg + calculateCRC(msg);
}

QByteArray KelvaraCom::initializeMsg(QByteArray msg, int addr)
{
    curAddr = addr;
    msg[0] = slaveAddress;
    msg[2] = char((addr >> 8) & 0xFF);
    msg[3] = char(addr & 0xFF);
    msg[4] = char((curNumRegs >> 8) & 0xFF);
    msg[5] = char(curNumRegs & 0xFF);
    return msg;
}

void KelvaraCom::prepareReplyBuffer(int length)
{
    rxBuffer = QByteArray(length, char(0xFF));
    rxCount = 0;
    rxAfterReply = QByteArray();
    rxAfterReply.reserve(length);
}

bool KelvaraCom::read(int numRegs, int addr)
{
    curNumRegs = qMax(0, numRegs);
    prepareReplyBuffer(curNumRegs * 2 + 5);

    QByteArray frame = initializeMsg(QByteArray(6, char(0xFF)), addr);
    frame[1] = ModbusFunction::read;
    frame = fillInCRC(frame);

    if (addr == faultsAddress)
        faultReadTimer.start();
    requestInFlight = ++requestCounter;
    requestResent = false;
    timer->beginLadder();
    if (!startExchange(frame)) {
        replyText = QStringLiteral("Failed sending read message");
        status = StatusFailedSendingReadMessage;
        noteUnsentRequest();
        return false;
    }
    return true;
}

bool KelvaraCom::write(int numRegs, int addr)
{
    return sendWrite(buildWriteFrame(numRegs, addr));
}

bool KelvaraCom::writeCommand(int addr, int value)
{
    return sendWrite(buildWriteFrame(1, addr, {value}));
}

QByteArray KelvaraCom::buildWriteFrame(int numRegs, int addr, const QVector<int>& values) const
{
    const int count = qMax(0, numRegs);
    QByteArray frame(count * 2 + 7, char(0xFF));
    frame[0] = slaveAddress;
    frame[1] = ModbusFunction::write;
    frame[2] = char((addr >> 8) & 0xFF);
    frame[3] = char(addr & 0xFF);
    frame[4] = char((count >> 8) & 0xFF);
    frame[5] = char(count & 0xFF);
    frame[6] = char((count * 2) & 0xFF);
    for (int i = 0; i < count; ++i) {
        // Negative values go out in two's complement.
        const int raw =
            i < values.size() ? values.at(i) & 0xFFFF : runner->rawToWrite(addr + i) & 0xFFFF;
        frame[7 + 2 * i] = char(raw >> 8);
        frame[8 + 2 * i] = char(raw & 0xFF);
    }
    return fillInCRC(frame);
}

bool KelvaraCom::sendWrite(const QByteArray& frame)
{
    curAddr = frameWord(frame, 2);
    curNumRegs = frameWord(frame, 4);
    prepareReplyBuffer(8);
    requestInFlight = ++requestCounter;
    requestResent = false;
    timer->beginLadder();
    if (!startExchange(frame)) {
        replyText = QStringLiteral("Failed sending write message");
        status = StatusFailedSendingReadMessage;
        noteUnsentRequest();
        return false;
    }
    noteSentWrite(frame);
    return true;
}

bool KelvaraCom::sendMessage(QByteArray frame)
{
    return openPort() && writeFrame(frame);
}

// A new request, as opposed to a frame sent again for the same request.
bool KelvaraCom::startExchange(const QByteArray& frame)
{
    if (!wouldWaitForQuietLine()) {
        forgetLateAnswers();
        return sendMessage(frame);
    }
    // A stop goes at once, never after a wait in which the cable could
    // move; a late answer that spoils its reply costs a send again.
    if (IdentityGate::isSafetyCommand(frame))
        return sendMessage(frame);
    // No answer still due is as long as the identity check's reply: one
    // that comes in its wait spoils it, and its read is sent again.
    if (identityCheckState != IdentityCheckState::Idle
        && !lateAnswerLengths.contains(rxBuffer.size()))
        return sendMessage(frame);
    if (!openPort())
        return false;
    frameAfterQuietLine = frame;
    connect(port, &QSerialPort::readyRead, this, &KelvaraCom::discardLateAnswer,
            Qt::UniqueConnection);
    quietLineWait.start();
    quietLineTimer->start(qMax(1, lateAnswerWindowMs));
    return true;
}

// Answers still due had their time while the port was closed and were
// thrown away when it opened.
bool KelvaraCom::wouldWaitForQuietLine() const
{
    return lateAnswersDue && sinceLastJudgement.elapsed() < 2 * qint64(lateAnswerWindowMs);
}

bool KelvaraCom::openPort()
{
    // No port chosen (the drop-down's empty entry): nothing to open.
    if (portName.isEmpty())
        return false;
    // Still open from the exchange just judged: the frame that follows it at
    // once goes out without a new open and lock file.
    if (isPortReusable()) {
        port->clear(QSerialPort::Input);
        return true;
    }
    if (port->isOpen())
        port->close();
    openedPortName = portName;
    port->setPortName(portName);
    if (!port->open(QIODevice::ReadWrite)) {
        emit comConnectError(port->error(), port->errorString());
        // Closing a port that never opened would replace its error with
        // "Device is not open" in the failure report.
        if (port->isOpen())
            port->close();
        return false;
    }
    // Bytes that arrived while the port was closed (a late or repeated
    // reply to an earlier frame) must not be taken for this frame's reply.
    port->clear(QSerialPort::Input);
    return true;
}

// A port that reported an error is opened afresh, so a vanished one is
// noticed.
bool KelvaraCom::isPortReusable() const
{
    return port->isOpen() && openedPortName == portName && port->error() == QSerialPort::NoError;
}

bool KelvaraCom::writeFrame(const QByteArray& frame)
{
    connect(port, &QSerialPort::readyRead, this, &KelvaraCom::readReply, Qt::UniqueConnection);
    const qint64 written = port->write(frame);
    timer->setLastMsg(frame);
    if (written == frame.size()) {
        // On the wire now, not at the next turn of the event loop: the wait
        // for the reply starts here.
        port->flush();
        timer->startTimer();
        sinceFrameSent.start();
        lastReplyByteMs = -1;
        emit frameSent(frame);
        return true;
    }
    port->close();
    return false;
}

// Every byte restarts the quiet time: one late answer may follow another.
// A line that does not fall quiet within a few quiet times carries noise,
// not answers, and must not hold the request for good: it goes out, and
// whatever the noise makes of its reply is judged as usual.
void KelvaraCom::discardLateAnswer()
{
    port->readAll();
    if (quietLineWait.elapsed() >= qint64(maxQuietLineWaits) * quietLineTimer->interval()) {
        quietLineTimer->stop();
        sendAfterQuietLine();
        return;
    }
    quietLineTimer->start();
}

void KelvaraCom::sendAfterQuietLine()
{
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::discardLateAnswer);
    forgetLateAnswers();
    lateAnswerWindowMs = 0;
    if (port->isOpen()) {
        port->readAll();
        port->clear(QSerialPort::Input);
    }
    if ((port->isOpen() || openPort()) && writeFrame(frameAfterQuietLine))
        return;
    // The request never left: its machine learns it as a failed send.
    replyText = frameAfterQuietLine.at(1) == ModbusFunction::write
        ? QStringLiteral("Failed sending write message")
        : QStringLiteral("Failed sending read message");
    status = StatusFailedSendingReadMessage;
    noteUnsentRequest();
    announceJudgement();
}

void KelvaraCom::readReply()
{
    const QByteArray data = port->readAll();
    // Bytes taken only as the wait runs out count as come then.
    if (!data.isEmpty() && sinceFrameSent.isValid())
        lastReplyByteMs = sinceFrameSent.elapsed();
    for (const char byte : data) {
        if (rxCount < 0)
            break;
        if (rxCount < rxBuffer.size())
            rxBuffer[rxCount++] = byte;
        else if (rxAfterReply.size() < rxBuffer.size())
            rxAfterReply += byte; // kept only to tell a second answer from noise
        else
            break; // a reply longer than expected: the rest is dropped
    }
}

// Judged only when the reply timer runs out, never when bytes arrive.
void KelvaraCom::handleReply()
{
    collectPendingBytes();
    disconnect(port, &QSerialPort::readyRead, this, &KelvaraCom::readReply);
    // Closed once the link has nothing more to send at once (see openPort).
    QTimer::singleShot(0, this, &KelvaraCom::closeIdlePort);

    const ReplyJudgement::Verdict verdict =
        ReplyJudgement::judge(timer->getLastMsg(), rxBuffer, rxCount, rxAfterReply);
    // After a wait that ran out, answers to every send of this request may
    // still follow the one judged now. A reply that came whole leaves none
    // due: the controller answered this send in time. Nor does a good reply
    // no late answer would be as long as: the controller answers in turn,
    // so every answer to an earlier request has come or never will.
    if (verdict == ReplyJudgement::Good && !lateAnswerLengths.contains(rxBuffer.size()))
        forgetLateAnswers();
    else if (lateAnswersDue || verdict == ReplyJudgement::Bad)
        noteLateAnswersDue();
    switch (verdict) {
    case ReplyJudgement::Rejection:
        judgeRejection();
        return;
    case ReplyJudgement::Good:
        judgeGoodReply();
        return;
    case ReplyJudgement::Garbled:
        judgeBadReply(true);
        return;
    case ReplyJudgement::Bad:
        judgeBadReply(false);
        return;
    }
}

// Bytes that come while the port is closed never reach the link; those that
// come while it is kept open are cleared before the next frame goes out.
void KelvaraCom::closeIdlePort()
{
    if (port->isOpen() && !timer->isRunning() && !quietLineTimer->isActive())
        port->close();
}

void KelvaraCom::forgetLateAnswers()
{
    lateAnswersDue = false;
    lateAnswerLengths.clear();
}

// Called while the timer still holds the wait that just ran out.
void KelvaraCom::noteLateAnswersDue()
{
    lateAnswersDue = true;
    lateAnswerWindowMs = qMax(lateAnswerWindowMs, timer->getTimeoutTime());
    if (!lateAnswerLengths.contains(rxBuffer.size()))
        lateAnswerLengths << rxBuffer.size();
    sinceLastJudgement.start();
}

// A reply that came while the event loop was held up may still wait in the
// port when the timer runs out: it belongs to this exchange.
void KelvaraCom::collectPendingBytes()
{
    if (!port->isOpen())
        return;
    const QSerialPort::SerialPortError errorBefore = port->error();
    while (port->waitForReadyRead(0)) {
    }
    // Finding nothing to read is no port error.
    if (port->error() == QSerialPort::TimeoutError && errorBefore != QSerialPort::TimeoutError)
        port->clearError();
}

void KelvaraCom::noteUnsentRequest()
{
    noteFailedExchange();
    if (isStatusRead())
        statusReadFailedSinceCheck = true;
}

bool KelvaraCom::isWriteFrame(const QByteArray& frame) const
{
    return frame.size() > 1 && frame.at(1) == ModbusFunction::write;
}

bool KelvaraCom::isConnectionCheckReply() const
{
    return connectionCheckState == ConnectionCheckState::WaitingForReply;
}

void KelvaraCom::judgeGoodReply()
{
    // An answered status read is as good as an answered connection check.
    if (isStatusRead()) {
        failedCheckCount = 0;
        statusReadFailedSinceCheck = false;
        checkRidesOnStatusRead = false;
    }
    status = isConnectionCheckReply() ? StatusControllerConnected : StatusSuccess;
    if (mode == ReadMode) {
        if (curAddr == faultsAddress && faultReadTimer.isValid()) {
            const qint64 elapsed = faultReadTimer.elapsed();
            if (elapsed > qint64(timer->getTimeoutTime()) + slowFaultReadMarginMs)
                emit macSlowFaultRead(int(elapsed));
        }
        // The next frame needs only the judgement: it goes out before this
        // reply is stored and its registers shown. The raw reply's one line
        // comes first, while this request is still the last one sent.
        const quint32 judged = requestInFlight;
        const int address = curAddr;
        const int count = curNumRegs;
        const QByteArray reply = rxBuffer;
        const ReadPurpose purpose = currentReadPurpose;
        emitDevMessage(address - 1, false, true, reply, showHex);
        if (isIdentityCheckReply()) {
            tally.noteCheckSend(true);
            takeIdentityAnswer(address, count, reply);
        } else {
            tally.noteGoodReply();
            sendNextReadEarly();
            if (!isReadAllPurpose(purpose))
                storeReadReply(address, count, reply);
            else
                bufferReadAllReply(address, count, reply);
        }
        replyText =
            QStringLiteral("SUCCESS - Reply: ") + ::niceHex(QString::fromLatin1(reply.toHex()));
        announceJudgement(judged);
        return;
    }
    tally.noteGoodReply();
    if (mode == WriteMode) {
        noteAnsweredWrite(timer->getLastMsg());
        storeWriteReply();
    }
    replyText =
        QStringLiteral("SUCCESS - Reply: ") + ::niceHex(QString::fromLatin1(rxBuffer.toHex()));
    announceJudgement(requestInFlight);
}

ExceptionReply KelvaraCom::refusal() const
{
    return ExceptionReply(timer->getLastMsg(), rxBuffer);
}

// The controller's answer ends the request: sent again, the frame would get
// the same one.
void KelvaraCom::judgeRejection()
{
    const ExceptionReply refused = refusal();
    if (isConnectionCheckReply()) {
        if (!connectionFailsIgnored)
            status = StatusControllerDisconnected;
    } else {
        status = StatusInvalidSerialPort;
        // A write the controller took, to carry out later, may still land.
        if (mode == WriteMode && !refused.mayBeCarriedOut())
            noteAnsweredWrite(timer->getLastMsg(), false);
    }
    replyText = refused.replyLine();
    if (isConnectionCheckReply() && !connectionFailsIgnored)
        logText(replyText);
    announceJudgement();
}

// The check that fell in the wait of this status read fails with it;
// counted once the reply has been judged, so that a controller declared
// lost finds the link between requests.
void KelvaraCom::judgeBadReply(bool garbled)
{
    const bool checkFailed = takeCheckOfStatusRead();
    judgeUnansweredExchange(garbled);
    if (checkFailed)
        countFailedCheck();
}

bool KelvaraCom::takeCheckOfStatusRead()
{
    if (!isStatusRead())
        return false;
    if (std::exchange(checkRidesOnStatusRead, false))
        return true;
    statusReadFailedSinceCheck = true;
    return false;
}

// A reply that came short, its last byte long before the wait ran out,
// lost a byte on the line: the controller answered in time, and a longer
// wait would not help. One that was still coming as the wait ran out may
// have been cut by it.
bool KelvaraCom::replyEndedWellInTime() const
{
    return rxCount > 0 && lastReplyByteMs >= 0
        && lastReplyByteMs <= qint64(timer->getTimeoutTime()) / 2;
}

// The frame goes again with the wait it had when its reply came in time,
// whole but spoiled or short; after a silence the wait doubles.
bool KelvaraCom::keepsWaitAfterBadReply(bool garbled) const
{
    return garbled || replyEndedWellInTime();
}

// garbled: the reply came whole but spoiled. The controller the request
// reached answered it, so it tells of no other controller: no doubt, and
// the frame goes again at once with the same wait.
void KelvaraCom::judgeUnansweredExchange(bool garbled)
{
    // A read of the identity check the request waits for is one of its
    // tries. Noise that filled the wait is no answer of the controller.
    tally.noteFailedSend(
        ReplyJudgement::holdsAnswer(rxBuffer.left(std::max(rxCount, 0)) + rxAfterReply));
    if (!garbled)
        noteFailedExchange();
    if (isConnectionCheckReply()) {
        // A connection check is never sent again.
        if (!connectionFailsIgnored) {
            status = StatusControllerDisconnected;
            logText(replyText);
        }
        announceJudgement();
        return;
    }
    status = StatusCommunicationTimeout;
    // A poll is never sent again: the next one asks anew.
    if (isPollInFlight()) {
        logText(replyText);
        announceJudgement();
        return;
    }
    // A read of the identity check is not sent again after a silence: the
    // check begins again from its first read (identityCheckWrapper()); nor
    // is the stop owed, or its read-back, before a check said who answers. Nor
    // once the ladder of the request it stands before has run out, however
    // its reply came: the check fails there.
    if ((isIdentityCheckReply() || isStopStepReply()) && (!garbled || timer->exceedsMaxTime())) {
        logText(replyText);
        announceJudgement();
        return;
    }
    // A write frame goes out again only to the controller that was read,
    // and a read-all keeps a block only once it knows whose it is.
    if (identifyBeforeResend(garbled)) {
        logText(replyText);
        return; // the check sends it again, or ends the operation
    }
    if (retransmitMessage(keepsWaitAfterBadReply(garbled))) {
        logText(replyText);
        return; // the next expiry judges again
    }
    announceJudgement();
}

void KelvaraCom::storeReadReply(int address, int count, const QByteArray& reply)
{
    runner->setTakingControllerValues(true);
    for (int i = 0; i < count; ++i) {
        Parameter* parameter = runner->getParameter(address + i);
        if (!parameter)
            continue;
        const int high = quint8(reply.at(3 + 2 * i));
        const int low = quint8(reply.at(4 + 2 * i));
        const int raw = parameter->isSigned() ? int(qint8(high)) * 256 + low : high * 256 + low;
        runner->setControllerRamFromRead(address + i, raw);
        emitDevMessage(address + i, i == 0, true, reply, !showHex);
        if (autotuneTestState != NoTest && autotuneLog)
            autotuneLog->write(address + i, i == 0, true);
    }
    runner->setTakingControllerValues(false);
}

void KelvaraCom::storeWriteReply()
{
    const QByteArray sent = timer->getLastMsg();
    for (int i = 0; i < curNumRegs; ++i) {
        const int address = curAddr + i;
        if (commandParameterAddresses.contains(address)) {
            // What the controller was told, whatever a read put in between.
            runner->setEditToControllerValue(address, writeFrameValue(sent, i));
            runner->setControllerRamToEdit(address);
        } else if (holdsSentValue(sent, i, address)) {
            // A value changed while its frame was on the way has not reached
            // the controller: it stays unsaved, or the change would be lost.
            runner->setControllerRamToEdit(address);
        }
        createDevMessage(i, !showHex);
        if (autotuneTestState != NoTest && autotuneLog)
            autotuneLog->write(address, i == 0, false);
    }
    createDevMessage(-1, showHex);
}

bool KelvaraCom::holdsSentValue(const QByteArray& frame, int index, int address) const
{
    if (frame.size() < 7 + 2 * (index + 1))
        return false;
    return (runner->getParameter(address)->getRegisterValue() & 0xFFFF)
        == writeFrameValue(frame, index);
}

void KelvaraCom::announceJudgement()
{
    announceJudgement(requestInFlight);
}

void KelvaraCom::announceJudgement(quint32 request)
{
    judgedRequest = request;
    emit replyProcessed();
}

// Read-all, write-all, the flash save, fault clearing, the connection
// check and controller identification.
#include "kelvaracom.h"

#include "commtimer.h"
#include "controlleridentification.h"
#include "frameword.h"
#include "identitycheck.h"
#include "identitygate.h"
#include "kelvara.h"
#include "parameter.h"
#include "readallepochs.h"
#include "unflashedwrites.h"

#include <QtGlobal>

#include <utility>

namespace {

const int blockSize = 125;
const int lastBlockAddress = 500;
const int lastBlockSize = 11;
const int lastReadAllAddress = lastBlockAddress + lastBlockSize - 1;
const int maxRegistersPerWrite = 123;

const int firmwareAddress = 256;
const int faultsAddress = 258;
const int statusBlockSize = 42;
const int torqueCommandAddress = 477;
const int faultClearAddress = 508;
const int flashSaveAddress = 511;

const int flashSaveCommand = 32767;
const int flashSaveConfirmation = 4096;

} // namespace

const char* const KelvaraCom::flashSaveFailTitle = "Save to Flash Fail";

void KelvaraCom::readAll()
{
    for (int address = 0; address < lastBlockAddress; address += blockSize)
        appendRead(blockSize, address, address == 0 ? ReadAllFirstBlock : ReadAllBlock);
    appendRead(lastBlockSize, lastBlockAddress, ReadAllLastBlock);
    queueReadHelper();
}

// From firmware 6000 on the hardware version and the serial number lie
// outside the read-all blocks; identification and the controller's identity
// must not use stale or zero values of them.
QVector<int> KelvaraCom::identityRegistersBeyondBlocks() const
{
    const int firmware = epochs->registerValue(firmwareAddress);
    if (firmware < 0)
        return {};
    return ControllerIdentity::registersBeyond(firmware, lastReadAllAddress);
}

// A read-all's blocks are kept until all are in: the model shows the
// values of one controller, never those of two behind a moved cable.
void KelvaraCom::bufferReadAllReply(int address, int count, const QByteArray& reply)
{
    epochs->take(address, count, reply);
}

// The identity goes first: what the model holds outside flash for one
// controller is set aside before another one's values settle any of it.
void KelvaraCom::storeReadAllReplies()
{
    const QVector<ReadAllEpochs::Block> blocks = epochs->blocks();
    epochs->clear();
    runner->setTakingControllerValues(true);
    for (const ReadAllEpochs::Block& block : blocks) {
        for (int i = 0; i < block.count; ++i) {
            if (ControllerIdentity::isIdentityRegister(block.address + i))
                runner->setControllerRamFromRead(block.address + i, readReplyValue(block.reply, i));
        }
    }
    runner->setTakingControllerValues(false);
    for (const ReadAllEpochs::Block& block : blocks)
        storeReadReply(block.address, block.count, block.reply);
}

// The frame in flight is a block of a read-all, sent first or again.
bool KelvaraCom::isReadAllBlockInFlight() const
{
    return readAllBlockInFlight && identityCheckState == IdentityCheckState::Idle
        && readMachineRequest == requestInFlight && isReadAllPurpose(currentReadPurpose);
}

// Blocks that came before an exchange failed, from a controller that was
// never identified, are read again, now that it is known who answers; the
// last of them ends the read-all. False when there are none. Like the
// identity check, they start at the default timeout: the waits the read
// climbed to are no measure of how quickly the controller answers them.
bool KelvaraCom::readUnidentifiedBlocksAgain()
{
    const QVector<QPair<int, int>> again = epochs->takeUnidentifiedBlocks();
    if (!again.isEmpty())
        timer->resetTime();
    for (int i = again.size() - 1; i >= 0; --i) {
        readQueue.prepend(again.at(i));
        readPurposes.prepend(i == again.size() - 1 ? ReadAllFinal : ReadAllBlock);
    }
    return !again.isEmpty();
}

// Another controller answered than the one whose blocks are kept: the
// read-all begins again with the controller that answers now, or fails
// once that has happened too often.
void KelvaraCom::beginReadAllAgain()
{
    heldFrame = HeldFrame();
    readAllBlockInFlight = false;
    currentReadPurpose = PlainRead;
    dropRestOfReadAllTry();
    if (!readAllAgain()) {
        failMixedReadAll();
        return;
    }
    mode = ReadMode;
    if (!sendNextRead())
        readError();
}

// What is queued of the try under way: the rest of its blocks, or of the
// reads that end it. The next read-all queued stays.
void KelvaraCom::dropRestOfReadAllTry()
{
    while (!readPurposes.isEmpty() && isReadAllPurpose(readPurposes.constFirst())
           && readPurposes.constFirst() != ReadAllFirstBlock) {
        const ReadPurpose purpose = readPurposes.takeFirst();
        readQueue.removeFirst();
        if (purpose == ReadAllLastBlock || purpose == ReadAllFinal)
            return;
    }
}

// Begins the read-all again whole, at the default timeout, knowing who
// answers when the last check or block told; false once it has been too
// often.
bool KelvaraCom::readAllAgain()
{
    const ControllerIdentity answering = epochs->newestIdentity();
    epochs->clear();
    if (readAllRepeats >= maxReadAllRepeats)
        return false;
    ++readAllRepeats;
    epochs->begin(answering);
    timer->resetTime();
    for (int address = lastBlockAddress; address >= 0; address -= blockSize) {
        const bool last = address == lastBlockAddress;
        readQueue.prepend(qMakePair(last ? lastBlockSize : blockSize, address));
        readPurposes.prepend(last ? ReadAllLastBlock : ReadAllBlock);
    }
    return true;
}

// The controller kept changing while the parameters were read: nothing of
// it is taken. The controller answers, so the report says what happened
// and gives no advice on timeouts.
void KelvaraCom::failMixedReadAll()
{
    const int tries = readAllRepeats + 1;
    readAllRepeats = 0;
    // The report ends the read-all.
    readAllBlockInFlight = true;
    readState = ReadState::Idle;
    status = StatusCommunicationTimeout;
    replyText = QStringLiteral("Failed reading all parameters from one controller");
    reportFailure(
        QStringLiteral("Read Fail"),
        QStringLiteral("The parameters could not be read from one controller: each time they "
                       "were read (%1 times), another controller answered part of them, as "
                       "when the cable is moved from one controller to another while they are "
                       "read.\n\nNothing of these reads was taken: the values shown are the "
                       "ones shown before. A controller still answers: read the parameters "
                       "again once the cable stays on one controller.")
            .arg(tries));
}

void KelvaraCom::endReadAll(bool succeeded)
{
    readAllSucceeded = succeeded;
    finishReadAll();
}

void KelvaraCom::finishReadAll()
{
    const bool succeeded = readAllSucceeded;
    readAllSucceeded = false;
    timer->resetTime();
    if (succeeded) {
        runner->setValid(true);
        checkControllerType();
    }
    emit readAllComplete();
}

void KelvaraCom::checkControllerType()
{
    identifyControllerType(runner);
}

void KelvaraCom::writeAll()
{
    timer->resetTime();
    const QMap<int, int> unsaved = runner->getUnsavedValues();
    if (unsaved.isEmpty())
        return;
    emit enableSaveButtons(false);
    runner->setFlashRecoveryValues();

    // Runs of consecutive writable registers, at most 123 to a frame.
    QVector<QPair<int, int>> runs;
    int runStart = -1;
    int runLength = 0;
    QList<int> unwritable;
    for (auto it = unsaved.constBegin(); it != unsaved.constEnd(); ++it) {
        const int address = it.key();
        const Parameter* parameter = runner->getParameter(address);
        if (!parameter || !parameter->isWriteable()) {
            unwritable << address;
            continue;
        }
        if (runLength > 0 && address == runStart + runLength && runLength < maxRegistersPerWrite) {
            ++runLength;
            continue;
        }
        if (runLength > 0)
            runs.append(qMakePair(runLength, runStart));
        runStart = address;
        runLength = 1;
    }
    if (runLength > 0)
        runs.append(qMakePair(runLength, runStart));

    unwritableUnsaved += unwritable;
    if (runs.isEmpty()) {
        settleUnwritable();
        emit enableSaveButtons(true);
        emit comSuccess();
        return;
    }
    queueMultipleWrites(runs);
}

// Registers that cannot be written would keep their unsaved marks for good;
// they settle with the save they were part of, once it has been confirmed.
void KelvaraCom::settleUnwritable()
{
    if (!writeQueue.isEmpty())
        return; // the save they belong to is still to come
    const QList<int> addresses = unwritableUnsaved;
    unwritableUnsaved.clear();
    for (const int address : addresses)
        runner->setControllerRamToEdit(address);
}

void KelvaraCom::flashSaveAutotune()
{
    tally.restart();
    flashSaveState = FlashSaveState::Start;
    saveValuesToFlash();
}

void KelvaraCom::flashSaveError()
{
    reportError(QString::fromLatin1(flashSaveFailTitle));
}

void KelvaraCom::saveValuesToFlash()
{
    switch (flashSaveState) {
    case FlashSaveState::Start:
        unflashed->forgetFlashSave();
        // Saving a controller's own values is no harm; saving those of
        // another one is: the one that answers must be the one read.
        if (identifyBeforeWrite(buildWriteFrame(1, flashSaveAddress, {flashSaveCommand}),
                                AfterIdentityCheck::StartFlashSave))
            return;
        connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash,
                Qt::UniqueConnection);
        mode = WriteMode;
        flashSaveState = FlashSaveState::WaitingForWrite;
        // The command is sent as given and never becomes an edit: the
        // model takes it once the controller has answered its write.
        timer->setTimeoutTime(flashSaveTimeoutMs, false);
        if (!writeCommand(flashSaveAddress, flashSaveCommand)) {
            writeError();
            return;
        }
        flashSaveRequest = requestInFlight;
        return;
    case FlashSaveState::WaitingForWrite:
        if (!takeJudgement(flashSaveRequest))
            return;
        timer->resetTime();
        if (status != StatusSuccess) {
            writeError();
            return;
        }
        flashSaveState = FlashSaveState::WaitingForReadBack;
        flashReadRetries = 0;
        if (!readForFlashSave(flashSaveAddress))
            readError();
        return;
    case FlashSaveState::WaitingForReadBack:
        if (!takeJudgement(flashSaveRequest))
            return;
        if (status == StatusSuccess) {
            if (int(runner->getParameter(flashSaveAddress)->getValue()) == flashSaveConfirmation) {
                // After a silence the confirmation may come from another
                // controller than the one that took the writes.
                if (gate->isInDoubt() && gate->isKnown())
                    startIdentityCheck(AfterIdentityCheck::ConfirmFlashSave);
                else
                    confirmFlashSave();
                return;
            }
            // The controller that took the writes answered: it did not save.
            unflashed->noteFlashSaveRefused();
            flashSaveState = FlashSaveState::WaitingForTorqueCommand;
            if (!readForFlashSave(torqueCommandAddress))
                readError();
            return;
        }
        // The controller's refusal is its answer: read again, 511 gets the same one.
        if (status == StatusInvalidSerialPort) {
            readError();
            return;
        }
        if (flashReadRetries < flashSaveReadRetries && readForFlashSave(flashSaveAddress)) {
            ++flashReadRetries;
            return;
        }
        readError();
        return;
    case FlashSaveState::WaitingForTorqueCommand:
        if (!takeJudgement(flashSaveRequest))
            return;
        endUnconfirmedFlashSave();
        return;
    case FlashSaveState::Idle:
        return;
    }
}

// After a failed exchange the controller that answers is identified first:
// what the save ends with (a box, the marks) is the answer of the one that
// took the writes.
bool KelvaraCom::readForFlashSave(int address)
{
    mode = ReadMode;
    flashSaveRequest = 0;
    flashSaveReadAddress = address;
    if (stopGoesFirst(AfterIdentityCheck::SendFlashSaveRead))
        return true;
    if (!gate->letsPass(QByteArray())) {
        startIdentityCheck(AfterIdentityCheck::SendFlashSaveRead);
        return true;
    }
    if (!read(1, address))
        return false;
    flashSaveRequest = requestInFlight;
    return true;
}

void KelvaraCom::confirmFlashSave()
{
    unflashed->noteFlashSaveConfirmed();
    settleUnwritable();
    // What earlier writes left in the controller's RAM only is saved now.
    runner->setControllerFlashToRam();
    mode = IdleMode;
    flashSaveState = FlashSaveState::Idle;
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash);
    emit enableSaveButtons(true);
    emit comSuccess();
    emit flashSaveComplete();
}

// The controller did not confirm the save. The status is left at a failure
// code so that nobody takes the save for a success, and a failure report
// is not preceded by comSuccess().
void KelvaraCom::endUnconfirmedFlashSave()
{
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::saveValuesToFlash);
    mode = IdleMode;
    flashSaveState = FlashSaveState::Idle;
    unwritableUnsaved.clear();
    keepUnflashedWrites();
    // A torque command that was not read is not known to be running. A
    // refusal of its read stays the status, so that the report names it.
    const bool torqueRead = status == StatusSuccess;
    const double torque = runner->getParameter(torqueCommandAddress)->getValue();
    if (status != StatusInvalidSerialPort)
        status = StatusCommunicationTimeout;
    if (!torqueRead || qFuzzyCompare(torque + 1.0, 1.0)) {
        flashSaveError();
        return;
    }
    emit enableSaveButtons(true);
    emit comSuccess();
    emit motorRunning();
}

void KelvaraCom::clearFaults()
{
    queueCommand(faultClearAddress, 1);
    appendRead(statusBlockSize, faultsAddress, PlainRead);
    queueReadHelper();
}

void KelvaraCom::checkConnection()
{
    if (mode != IdleMode) {
        // The Dashboard's polls of the status block keep the link busy. A
        // send of one that went unanswered since the last check, with no
        // check in its wait, is this check's verdict: one failed check.
        // Otherwise a check that falls while one waits for its reply is
        // judged with it, as the check's own read would be; one that is
        // being answered passes.
        if (std::exchange(statusReadFailedSinceCheck, false)) {
            countFailedCheck();
            return;
        }
        if (isStatusRead())
            checkRidesOnStatusRead = rxCount == 0;
        return;
    }
    statusReadFailedSinceCheck = false;
    checkRidesOnStatusRead = false;
    probing = false;
    connectionCheckState = ConnectionCheckState::Start;
    checkConnectionWrapper();
}

void KelvaraCom::probeConnection()
{
    if (mode != IdleMode)
        return;
    probing = true;
    connectionCheckState = ConnectionCheckState::Start;
    checkConnectionWrapper();
}

// The third and every further failed check in a row: the controller is lost.
void KelvaraCom::countFailedCheck()
{
    if (connectionFailsIgnored)
        return;
    const int failuresBefore = failedCheckCount++;
    if (failuresBefore >= 2)
        emit controllerDisconnected();
}

// A read of the status block, outside a connection check.
bool KelvaraCom::isStatusRead() const
{
    return mode == ReadMode && curAddr == faultsAddress
        && connectionCheckState != ConnectionCheckState::WaitingForReply;
}

void KelvaraCom::checkConnectionWrapper()
{
    if (connectionCheckState == ConnectionCheckState::Start) {
        // While a stop is owed, the check is the identity check, or the stop.
        if (stopGoesFirst(AfterIdentityCheck::ConnectionCheck)) {
            connectionCheckState = ConnectionCheckState::Idle;
            return;
        }
        connect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::checkConnectionWrapper,
                Qt::UniqueConnection);
        mode = ReadMode;
        connectionCheckState = ConnectionCheckState::WaitingForReply;
        if (read(statusBlockSize, faultsAddress)) {
            connectionCheckRequest = requestInFlight;
            return;
        }
        connectionCheckState = ConnectionCheckState::Idle;
        mode = IdleMode;
        disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::checkConnectionWrapper);
        if (!connectionFailsIgnored && !std::exchange(probing, false)) {
            emit controllerDisconnected();
            status = StatusControllerDisconnected;
        }
        // Nothing was judged: no machine may take this as its reply.
        judgedRequest = 0;
        emit replyProcessed();
        return;
    }
    if (connectionCheckState != ConnectionCheckState::WaitingForReply
        || !takeJudgement(connectionCheckRequest))
        return;
    connectionCheckState = ConnectionCheckState::Idle;
    mode = IdleMode;
    disconnect(this, &KelvaraCom::replyProcessed, this, &KelvaraCom::checkConnectionWrapper);
    const bool probe = std::exchange(probing, false);
    if (status == StatusControllerConnected) {
        emit controllerConnected();
        failedCheckCount = 0;
        return;
    }
    // A probe's failure is left to the window's own checks.
    if (!probe)
        countFailedCheck();
}

bool KelvaraCom::isFlashSaveUnconfirmed() const
{
    return unflashed->lastFlashSave() == UnflashedWrites::FlashSave::Unconfirmed;
}

QList<int> KelvaraCom::unansweredWrites() const
{
    return unflashed->unansweredWrites();
}

// Registers kept in flash, sent to the controller that was read: they may
// reach it whether or not the answer comes.
void KelvaraCom::noteSentWrite(const QByteArray& frame)
{
    const int first = frameWord(frame, 2);
    const int count = frameWord(frame, 4);
    if (first == flashSaveAddress && count == 1 && writeFrameValue(frame, 0) == flashSaveCommand) {
        unflashed->noteFlashSaveSent();
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int address = first + i;
        const Parameter* parameter = runner->getParameter(address);
        if (!parameter->isSavable() || address == flashSaveAddress)
            continue;
        const int sent = writeFrameValue(frame, i);
        const int raw = parameter->isSigned() ? int(qint16(quint16(sent))) : sent;
        unflashed->noteSent(gate->trusted(), address, raw, runner->controllerFlashValue(address));
    }
}

void KelvaraCom::noteAnsweredWrite(const QByteArray& frame, bool taken)
{
    if (frame.size() < 7)
        return;
    const int first = frameWord(frame, 2);
    if (!taken && first == flashSaveAddress)
        unflashed->noteFlashSaveRefused();
    for (int i = 0; i < frameWord(frame, 4); ++i) {
        if (taken)
            unflashed->noteAnswered(first + i);
        else
            unflashed->noteRefused(first + i);
    }
}

// The operation ends without a confirmed save to flash: what it sent of the
// registers kept in flash stays outside flash in the model, answered or
// not, so that no read of that controller takes it for saved.
void KelvaraCom::keepUnflashedWrites()
{
    const ControllerIdentity writtenTo = unflashed->controller();
    const QList<UnflashedWrites::Write> writes = unflashed->takeWrites();
    if (writtenTo.isKnown() && !writtenTo.isSameController(ControllerIdentity::of(runner)))
        return;
    for (const UnflashedWrites::Write& write : writes)
        runner->setControllerWrittenValue(write.address, write.raw, write.flashRaw);
}

// The request engine of the link against a hostile controller on a
// pseudo-terminal. The input is a handful of operations of the suite
// (reads, reads whose answer decides something, status polls, writes,
// read-all, write-all, fault clear, connection check, flash save, edits)
// followed by the controller's script (see ScriptedController), which may
// end in a way of answering that lasts: a byte short or long, a refusal,
// another controller, silence, or these in turn.
//
// Asserted: the link always comes back to rest, within the bound of the
// operations asked for (OperationTimeBound), counted in sends and in the
// waits it gave them, never by the clock; a reply is never taken for the
// answer to another request; a failure report keeps its order
// (enableSaveButtons(true), comError(), errorMessage()).
#include "fuzzsupport.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "operationtimebound.h"
#include "parameter.h"
#include "scriptedcontroller.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

const int unitMs = 10; // the link's default timeout here
// Far beyond any bound here: only a link that hangs without sending runs
// into it.
const int restLimitMs = 60000;
const int maxOperations = 4;

enum Operation {
    Read,
    Write,
    ReadAll,
    WriteAll,
    CheckConnection,
    ClearFaults,
    FlashSave,
    Edit,
    IgnoreConnectionFails,
    QueueReads,
    DecidingRead,
    StatusPoll,
    OperationCount
};

struct Session
{
    std::unique_ptr<Kelvara> model;
    std::unique_ptr<KelvaraCom> link;
    ScriptedController* controller;
    QStringList events;
    // What the operations asked for may cost at most, and what they cost.
    OperationTimeBound::Cost bound;
    int sends = 0;
    qint64 waitsMs = 0;
};

void checkBound(const Session& session)
{
    if (session.sends > session.bound.sends)
        FuzzSupport::finding("more sends than the operations' bound");
    if (session.waitsMs > session.bound.waitsMs)
        FuzzSupport::finding("longer waits than the operations' bound");
}

// Runs the event loop until the link is at rest: no exchange under way and
// nothing waiting. A link that never gets there, or goes beyond the bound
// on its way, is a finding.
void waitForRest(Session& session)
{
    KelvaraCom* link = session.link.get();
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        checkBound(session);
        if (link->getMode() == KelvaraCom::IdleMode)
            loop.quit();
        else if (elapsed.elapsed() > restLimitMs)
            FuzzSupport::finding("the link never came back to rest");
    });
    poll.start(1);
    loop.exec();
}

// Every send, and the wait it was given.
void countSends(Session& session)
{
    KelvaraCom* link = session.link.get();
    QObject::connect(link, &KelvaraCom::frameSent, [&session, link](const QByteArray& frame) {
        session.controller->noteLinkSent(frame);
        ++session.sends;
        session.waitsMs += link->getTimeoutTime();
    });
}

void record(Session& session, bool hexReplies)
{
    KelvaraCom* link = session.link.get();
    QStringList& events = session.events;
    QObject::connect(link, &KelvaraCom::enableSaveButtons, [&events](bool enabled) {
        events << (enabled ? "enableSaveButtons(true)" : "enableSaveButtons(false)");
    });
    QObject::connect(link, &KelvaraCom::comError, [&events] { events << "comError"; });
    QObject::connect(link, &KelvaraCom::readAllComplete,
                     [&events] { events << "readAllComplete"; });
    QObject::connect(
        link, &KelvaraCom::errorMessage, [&events](const QString& title, const QString&) {
            const int at = events.size();
            if (title != "Read Fail" && title != "Write Fail"
                && title != QLatin1String(KelvaraCom::flashSaveFailTitle)
                && title != QLatin1String(KelvaraCom::otherControllerTitle))
                FuzzSupport::finding("a failure report with an unknown title");
            const bool afterError = (at >= 1 && events.at(at - 1) == "comError")
                || (at >= 2 && events.at(at - 1) == "readAllComplete"
                    && events.at(at - 2) == "comError");
            const int errorAt = events.lastIndexOf("comError");
            if (!afterError || errorAt < 1 || events.at(errorAt - 1) != "enableSaveButtons(true)")
                FuzzSupport::finding("a failure report out of order");
            events << "errorMessage";
        });
    if (!hexReplies)
        return;
    ScriptedController* controller = session.controller;
    QObject::connect(link, &KelvaraCom::replyMessageCreated, [controller](const QString& text) {
        const QByteArray reply = QByteArray::fromHex(text.toLatin1());
        const QByteArray last = controller->lastRequest();
        const QVector<ScriptedController::Answer> answers = controller->answersWith(reply);
        // An answer written later than it promised may be taken for
        // another's: no link could tell them apart. Each answer is judged
        // by its own timing, so one late answer excuses no other mix-up.
        const bool excused = std::any_of(answers.cbegin(), answers.cend(), [&](const auto& answer) {
            return answer.request == last || !answer.keptTiming;
        });
        if (!answers.isEmpty() && !excused)
            FuzzSupport::finding("the answer to another request was taken");
    });
}

int addressFrom(quint8 high, quint8 low)
{
    // Mostly registers of the model, sometimes any address at all.
    const int address = (high << 8) | low;
    return (high & 0x80) ? address - 0x8000 - 2 : address % 2048;
}

void perform(Session& session, FuzzSupport::ByteReader& input)
{
    KelvaraCom* link = session.link.get();
    const OperationTimeBound bound = OperationTimeBound::of(link);
    const quint8 kind = input.take();
    const quint8 high = input.take();
    const quint8 low = input.take();
    const quint8 extra = input.take();
    const int address = addressFrom(high, low);
    const int count = extra & 0x7F;
    switch ((kind & 0x7F) % OperationCount) {
    case Read:
        session.bound += bound.request();
        link->oneRead(address, count);
        break;
    case Write:
        session.bound += bound.writes(1, true);
        link->oneWrite(address, count);
        break;
    case ReadAll:
        session.bound += bound.readAll();
        link->readAll();
        break;
    case WriteAll:
        session.bound += bound.writes(session.model->getUnsavedValues().size(), true);
        link->writeAll();
        break;
    case CheckConnection:
        session.bound += bound.connectionCheck();
        link->checkConnection();
        break;
    case ClearFaults:
        session.bound += bound.writes(1, true);
        session.bound += bound.request();
        link->clearFaults();
        break;
    case FlashSave:
        // The autotune asks for it only with the link at rest.
        waitForRest(session);
        session.bound += bound.flashSave();
        link->flashSaveAutotune();
        break;
    case Edit:
        session.model->getParameter(address)->setRegisterValue((extra << 8) | low);
        break;
    case IgnoreConnectionFails:
        link->ignoreConnectionFails(extra & 1);
        break;
    case QueueReads:
        session.bound += bound.request().times(2);
        link->queueMultipleReads({qMakePair(count, address), qMakePair(1 + low % 4, 256)});
        break;
    case DecidingRead:
        session.bound += bound.request();
        link->queueDecidingRead(address, count);
        break;
    case StatusPoll:
        session.bound += bound.request();
        link->pollStatus(address, count);
        break;
    }
    // Now and then the next operation comes while this one is under way.
    if (!(kind & 0x80))
        waitForRest(session);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::ByteReader input(data, size);
    const quint8 header = input.take();
    const int operations = 1 + header % maxOperations;
    const bool hexReplies = !(header & 0x80);
    const size_t scriptStart = std::min(size, size_t(1 + 4 * operations));

    Session session;
    auto controller = std::make_unique<ScriptedController>(
        QByteArray(reinterpret_cast<const char*>(data) + scriptStart, int(size - scriptStart)),
        unitMs);
    if (!controller->start())
        FuzzSupport::finding("no pseudo-terminal");
    session.controller = controller.get();
    session.model.reset(new Kelvara(nullptr, QStringLiteral(":/fuzz/model.json"),
                                    QStringLiteral(":/fuzz/model.json")));
    session.link.reset(new KelvaraCom(session.model.get()));
    session.link->setCurrentPortName(controller->portName());
    session.link->setDefaultTimeout(unitMs);
    session.link->showHexMessage(hexReplies);
    record(session, hexReplies);
    countSends(session);

    for (int i = 0; i < operations; ++i)
        perform(session, input);
    waitForRest(session);

    session.link.reset();
    controller.reset();
    return 0;
}

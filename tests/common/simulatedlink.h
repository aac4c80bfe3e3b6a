#ifndef SIMULATEDLINK_H
#define SIMULATEDLINK_H

#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "latereplies.h"
#include "operationlimit.h"
#include "sentframes.h"

#include <QStringList>
#include <QTest>

#include <memory>

// A device model and a link talking to the controller simulator over a
// real pseudo-terminal, with every signal of the link (and the model's
// validated()) recorded in order, e.g. "comSuccess", "errorMessage(Read Fail)",
// "enableSaveButtons(true)", "validated(true)".
//
// The default timeout is short so that tests stay quick; the whole
// retransmission ladder scales with it.
class SimulatedLink
{
public:
    explicit SimulatedLink(int defaultTimeoutMs = 40,
                           const QString& definitions = QStringLiteral(":/BOD.json"))
        : model(new Kelvara(nullptr, definitions, definitions))
        , link(new KelvaraCom(model.get()))
    {
        sim.start();
        link->setCurrentPortName(sim.portName());
        if (defaultTimeoutMs > 0)
            link->setDefaultTimeout(defaultTimeoutMs);
        record();
    }

    // Runs the event loop until event has been recorded count times; by
    // default for as long as the link's bound allows a read of all
    // parameters.
    bool waitFor(const QString& event, int count = 1, int timeoutMs = 0)
    {
        return QTest::qWaitFor([&] { return events.count(event) >= count; }, limit(timeoutMs));
    }

    // Runs the event loop until any of the events has been recorded.
    bool waitForAny(const QStringList& wanted, int timeoutMs = 0)
    {
        return QTest::qWaitFor(
            [&] {
                for (const QString& event : wanted) {
                    if (events.contains(event))
                        return true;
                }
                return false;
            },
            limit(timeoutMs));
    }

    // The recorded events among the given names, in order.
    QStringList only(const QStringList& names) const
    {
        QStringList picked;
        for (const QString& event : events) {
            if (names.contains(event))
                picked << event;
        }
        return picked;
    }

    // Requests and replies in the simulator's log as "> hex" and "< hex".
    QStringList traffic() const
    {
        QStringList lines;
        for (const auto& entry : sim.frameLog()) {
            if (entry.direction == ControllerSimulator::Request)
                lines << "> " + entry.bytes.toHex(' ');
            else if (entry.direction == ControllerSimulator::Reply)
                lines << "< " + entry.bytes.toHex(' ');
        }
        return lines;
    }

    // The requests the simulator received, as spaced hex.
    QStringList requests() const { return spacedFrames(sim.requests()); }

    // The same less the sends that answers late on a loaded machine cost
    // (see LateReplies): what the link sent for what the line did.
    QStringList requestsInTime() const
    {
        return spacedFrames(LateReplies::framesTakenInTime(sim, sent));
    }

    ControllerSimulator sim;
    std::unique_ptr<Kelvara> model;
    std::unique_ptr<KelvaraCom> link;
    SentFrames sent{link.get()};
    QStringList events;

private:
    static QStringList spacedFrames(const QVector<QByteArray>& frames)
    {
        QStringList lines;
        for (const QByteArray& frame : frames)
            lines << frame.toHex(' ');
        return lines;
    }
    int limit(int timeoutMs) const
    {
        return timeoutMs > 0 ? timeoutMs : operationLimitMs(link.get());
    }
    void record()
    {
        KelvaraCom* com = link.get();
        auto note = [this](const QString& event) { events << event; };
        QObject::connect(com, &KelvaraCom::errorMessage,
                         [=](QString title, QString) { note("errorMessage(" + title + ")"); });
        QObject::connect(com, &KelvaraCom::replyProcessed, [=] { note("replyProcessed"); });
        QObject::connect(com, &KelvaraCom::comError, [=] { note("comError"); });
        QObject::connect(com, &KelvaraCom::comConnectError, [=](int error, QString) {
            note(QString("comConnectError(%1)").arg(error));
        });
        QObject::connect(com, &KelvaraCom::comSuccess, [=] { note("comSuccess"); });
        QObject::connect(com, &KelvaraCom::flashSaveComplete, [=] { note("flashSaveComplete"); });
        QObject::connect(com, &KelvaraCom::controllerDisconnected,
                         [=] { note("controllerDisconnected"); });
        QObject::connect(com, &KelvaraCom::controllerConnected,
                         [=] { note("controllerConnected"); });
        QObject::connect(com, &KelvaraCom::timeoutOccured, [=] { note("timeoutOccured"); });
        QObject::connect(com, &KelvaraCom::motorRunning, [=] { note("motorRunning"); });
        QObject::connect(com, &KelvaraCom::enableSaveButtons, [=](bool valid) {
            note(valid ? "enableSaveButtons(true)" : "enableSaveButtons(false)");
        });
        QObject::connect(com, &KelvaraCom::readAllComplete, [=] { note("readAllComplete"); });
        QObject::connect(com, &KelvaraCom::macSlowFaultRead,
                         [=](int) { note("macSlowFaultRead"); });
        QObject::connect(model.get(), &Kelvara::validated,
                         [=](bool valid) { note(valid ? "validated(true)" : "validated(false)"); });
    }
};

#endif // SIMULATEDLINK_H

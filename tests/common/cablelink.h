#ifndef CABLELINK_H
#define CABLELINK_H

#include "cableadapter.h"
#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "linkcases.h"
#include "parameter.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringList>

// Controllers A, B (another serial number) and C (A's serial number,
// another firmware) behind one adapter, the cable on A, and a link that
// has read A completely (unless told not to).
struct CableLink
{
    static constexpr int wheelAddress = 229; // kept in flash

    // readA: the link reads A before the test begins.
    bool start(int timeoutMs, bool readA = true)
    {
        for (ControllerSimulator* controller : {&a, &b, &c}) {
            if (!controller->start() || !controller->loadImage(KELVARA_SIM_IMAGE))
                return false;
        }
        b.setRegisterValue(72, 2222);
        b.setRegisterValue(238, 5150);
        c.setRegisterValue(256, 5930);
        if (!adapter.start() || !adapter.plugInto(&a))
            return false;
        link.setCurrentPortName(adapter.portName());
        link.setDefaultTimeout(timeoutMs);
        QSignalSpy done(&link, &KelvaraCom::readAllComplete);
        if (readA) {
            link.readAll();
            if (!done.wait(10000) || !model.isValid())
                return false;
        }
        for (ControllerSimulator* controller : {&a, &b, &c})
            controller->clearLog();
        adapter.clearLog();
        return true;
    }
    // Saves an edit of the wheel register; the link is in doubt first, as
    // after a silence.
    void saveWheel(double value)
    {
        link.identifyBeforeNextWrite();
        model.getParameter(wheelAddress)->setValue(value);
        link.writeAll();
    }
    // Each request the controller received, as spaced hex.
    static QStringList frames(const ControllerSimulator& controller)
    {
        QStringList lines;
        for (const QByteArray& frame : controller.requests())
            lines << spaced(frame);
        return lines;
    }
    static QStringList writes(const ControllerSimulator& controller)
    {
        return frames(controller).filter(QRegularExpression("^01 10 "));
    }

    ControllerSimulator a;
    ControllerSimulator b;
    ControllerSimulator c;
    CableAdapter adapter; // after the controllers: it lets go of their terminals first
    Kelvara model{nullptr, QStringLiteral(":/BOD.json"), QStringLiteral(":/BOD.json")};
    KelvaraCom link{&model};
};

#endif // CABLELINK_H

#ifndef CABLELINK_H
#define CABLELINK_H

#include "cableadapter.h"
#include "controllersimulator.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "linkcases.h"
#include "operationlimit.h"
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

    // readA: the link reads A before the test begins. firmware: of A and B
    // from 6000 on, which keep their hardware version and serial number in
    // 1881 and 2017, C's a later one; 0: the sample's (5921, C's 5930).
    bool start(int timeoutMs, bool readA = true, int firmware = 0)
    {
        for (ControllerSimulator* controller : {&a, &b, &c}) {
            if (!controller->start() || !controller->loadImage(KELVARA_SIM_IMAGE))
                return false;
            if (firmware > 0) {
                controller->setRegisterValue(256, firmware);
                controller->setRegisterValue(1881, 0x0805);
                controller->setRegisterValue(2017, 4711);
            }
        }
        b.setRegisterValue(72, 2222);
        b.setRegisterValue(firmware > 0 ? 2017 : 238, 5150);
        c.setRegisterValue(256, firmware > 0 ? firmware + 9 : 5930);
        if (!adapter.start() || !adapter.plugInto(&a))
            return false;
        link.setCurrentPortName(adapter.portName());
        link.setDefaultTimeout(timeoutMs);
        QSignalSpy done(&link, &KelvaraCom::readAllComplete);
        if (readA) {
            link.readAll();
            if (!done.wait(operationLimitMs(&link)) || !model.isValid())
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

#ifndef REGISTERSUNLIKE_H
#define REGISTERSUNLIKE_H

#include "controllersimulator.h"
#include "kelvara.h"
#include "parameter.h"

#include <QMap>
#include <QStringList>

// Registers 0 to 510 whose raw value the model shows otherwise than the
// controller holds it, as "address: shown for held". The live status block
// (258 to 331) is read by every poll, from whichever controller answers: it
// can be left out.
inline QStringList registersUnlike(const Kelvara& model, const ControllerSimulator& controller,
                                   bool statusBlockLeftOut = false)
{
    const int lastRegister = 510;
    const int statusBlockAddress = 258;
    const int statusBlockSize = 74;
    QStringList unlike;
    const QMap<int, Parameter*> parameters = model.getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        if (it.key() > lastRegister)
            break;
        if (statusBlockLeftOut && it.key() >= statusBlockAddress
            && it.key() < statusBlockAddress + statusBlockSize)
            continue;
        const int shown = it.value()->getRegisterValue() & 0xFFFF;
        if (shown != controller.registerValue(it.key()))
            unlike << QStringLiteral("%1: %2 for %3")
                          .arg(it.key())
                          .arg(shown)
                          .arg(controller.registerValue(it.key()));
    }
    return unlike;
}

#endif // REGISTERSUNLIKE_H

// Console texts of the replies and the autotune test logs.
#include "kelvaracom.h"

#include "logger.h"

void KelvaraCom::createDevMessage(int index, bool send)
{
    emitDevMessage(curAddr + index, index == 0, mode == ReadMode, rxBuffer, send);
}

void KelvaraCom::emitDevMessage(int address, bool newBlock, bool isRead, const QByteArray& reply,
                                bool send)
{
    if (!send)
        return;
    const QString text = showHex ? ::niceHex(QString::fromLatin1(reply.toHex()))
                                 : devLogger->formatDevMessage(address, newBlock, isRead);
    emit replyMessageCreated(text);
}

void KelvaraCom::showHexMessage(bool hex)
{
    showHex = hex;
}

void KelvaraCom::startAutotune(KelvaraCom::AutotuneTestState state)
{
    if (state == StaticTest || state == DynamicTest)
        setAutotuneTestState(state);
}

void KelvaraCom::haltLog()
{
    setAutotuneTestState(NoTest);
}

void KelvaraCom::setAutotuneTestState(KelvaraCom::AutotuneTestState state)
{
    const AutotuneTestState old = autotuneTestState;
    if (state == NoTest && old != NoTest) {
        if (autotuneLog) {
            autotuneLog->write(QStringLiteral("End of Test"));
            delete autotuneLog;
            autotuneLog = nullptr;
        }
    } else if (state != NoTest && old == NoTest) {
        delete autotuneLog;
        autotuneLog = new Logger(
            this, state == StaticTest ? QStringLiteral("static") : QStringLiteral("dynamic"),
            runner);
    }
    autotuneTestState = state;
}

void KelvaraCom::logText(const QString& text)
{
    if (autotuneTestState != NoTest && autotuneLog)
        autotuneLog->write(text);
}

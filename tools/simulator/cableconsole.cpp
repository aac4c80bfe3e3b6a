#include "cableconsole.h"

#include "registerimage.h"
#include "simmodbus.h"

#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <unistd.h>

namespace {

const QString triggers = QStringLiteral(
    "next frame, next read, next write, frame K, read at ADDR, write to ADDR, touching ADDR");
const QString usage =
    QStringLiteral(
        "move N [after MS] [on TRIGGER] [reaching old|reaching new], unplug [on TRIGGER], where; "
        "TRIGGER: %1")
        .arg(triggers);

bool wholeNumber(const QString& text, int min, int max, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= min && *value <= max;
}

} // namespace

CableConsole::CableConsole(CableAdapter* adapter, const QVector<ControllerSimulator*>& controllers,
                           QObject* parent)
    : QObject(parent)
    , adapter(adapter)
    , controllers(controllers)
{
    connect(adapter, &CableAdapter::logged, this, &CableConsole::tell);
    for (ControllerSimulator* controller : controllers) {
        connect(controller, &ControllerSimulator::frameLogged, this,
                [this, controller](const ControllerSimulator::LogEntry& entry) {
                    tellFault(controller, entry);
                });
    }
}

void CableConsole::readCommandsFrom(int fd)
{
    delete input;
    input = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(input, &QSocketNotifier::activated, this, &CableConsole::readCommands);
}

void CableConsole::setLogging(bool on)
{
    logging = on;
}

void CableConsole::readCommands()
{
    char buffer[512];
    ssize_t n;
    do {
        n = ::read(int(input->socket()), buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        // The end of the commands, not of the simulator: it serves on.
        input->setEnabled(false);
        return;
    }
    partLine.append(buffer, int(n));
    int end;
    while ((end = partLine.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(partLine.left(end)).trimmed();
        partLine.remove(0, end + 1);
        QString error;
        if (!line.isEmpty() && !execute(line, &error))
            QTextStream(stderr) << "kelvara-sim: " << error << "\n";
    }
}

bool CableConsole::execute(const QString& line, QString* error)
{
    const QStringList words = line.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString unknown =
        QStringLiteral("cannot follow \"%1\"; the commands: %2").arg(line, usage);
    if (words == QStringList{QStringLiteral("where")}) {
        QTextStream(stdout) << "cable on " << nameOf(adapter->controller()) << Qt::endl;
        return true;
    }

    int at = 0;
    ControllerSimulator* target = nullptr;
    if (words.value(0) == QLatin1String("move")) {
        int number = 0;
        if (!wholeNumber(words.value(1), 1, int(controllers.size()), &number)) {
            *error = QStringLiteral("there is no controller \"%1\" (1 to %2)")
                         .arg(words.value(1))
                         .arg(controllers.size());
            return false;
        }
        target = controllers.at(number - 1);
        at = 2;
    } else if (words.value(0) == QLatin1String("unplug")) {
        at = 1;
    } else {
        *error = unknown;
        return false;
    }

    int afterMs = 0;
    if (words.value(at) == QLatin1String("after")) {
        if (!target || !wholeNumber(words.value(at + 1), 0, 3600000, &afterMs)) {
            *error = unknown;
            return false;
        }
        at += 2;
    }
    bool scheduled = false;
    CableAdapter::Trigger trigger;
    if (words.value(at) == QLatin1String("on")) {
        ++at;
        if (!parseTrigger(words, &at, &trigger, error))
            return false;
        scheduled = true;
    }
    auto frame = CableAdapter::TriggerFrame::Lost;
    if (scheduled && words.value(at) == QLatin1String("reaching")) {
        const QString which = words.value(at + 1);
        if (which != QLatin1String("old") && which != QLatin1String("new")) {
            *error = unknown;
            return false;
        }
        frame = which == QLatin1String("old") ? CableAdapter::TriggerFrame::ToOld
                                              : CableAdapter::TriggerFrame::ToNew;
        at += 2;
    }
    if (at != words.size()) {
        *error = unknown;
        return false;
    }

    CableAdapter::Route route;
    if (afterMs > 0)
        route << CableAdapter::silence(afterMs);
    route << target;
    if (!(scheduled ? adapter->moveOn(trigger, route, frame) : adapter->follow(route))) {
        *error = adapter->errorString();
        return false;
    }
    if (scheduled)
        QTextStream(stdout) << "move scheduled: " << line << Qt::endl;
    return true;
}

bool CableConsole::parseTrigger(const QStringList& words, int* at, CableAdapter::Trigger* trigger,
                                QString* error) const
{
    const QString first = words.value(*at);
    const QString second = words.value(*at + 1);
    const QString third = words.value(*at + 2);
    int number = 0;
    int used = 2;
    if (first == QLatin1String("next") && second == QLatin1String("frame")) {
        *trigger = CableAdapter::Trigger::nextFrame();
    } else if (first == QLatin1String("next") && second == QLatin1String("read")) {
        *trigger = CableAdapter::Trigger::nextRead();
    } else if (first == QLatin1String("next") && second == QLatin1String("write")) {
        *trigger = CableAdapter::Trigger::nextWrite();
    } else if (first == QLatin1String("frame") && wholeNumber(second, 1, 1000000, &number)) {
        *trigger = CableAdapter::Trigger::nextFrame().nth(number);
    } else if (first == QLatin1String("touching") && RegisterImage::parseAddress(second, &number)) {
        *trigger = CableAdapter::Trigger::touching(number);
    } else if (first == QLatin1String("read") && second == QLatin1String("at")
               && RegisterImage::parseAddress(third, &number)) {
        *trigger = CableAdapter::Trigger::readAt(number);
        used = 3;
    } else if (first == QLatin1String("write") && second == QLatin1String("to")
               && RegisterImage::parseAddress(third, &number)) {
        *trigger = CableAdapter::Trigger::writeTo(number);
        used = 3;
    } else {
        *error = QStringLiteral("no such trigger \"%1\"; the triggers: %2 (ADDR 0 to 2047)")
                     .arg(words.mid(*at).join(QLatin1Char(' ')), triggers);
        return false;
    }
    *at += used;
    return true;
}

int CableConsole::controllerNumber(const ControllerSimulator* controller) const
{
    return int(controllers.indexOf(const_cast<ControllerSimulator*>(controller))) + 1;
}

QString CableConsole::nameOf(const ControllerSimulator* controller) const
{
    return controller ? QStringLiteral("controller %1").arg(controllerNumber(controller))
                      : QStringLiteral("no controller");
}

void CableConsole::tell(const CableAdapter::LogEntry& entry)
{
    QTextStream out(stdout);
    if (entry.event == CableAdapter::Moved) {
        out << "cable on " << nameOf(entry.controller) << Qt::endl;
        return;
    }
    if (!logging)
        return;
    static const char* const arrows[] = {"->", "<-", "xx"};
    const int number = controllerNumber(entry.controller);
    out << SimModbus::logLine(entry.elapsedMs,
                              QStringLiteral("%1 %2")
                                  .arg(arrows[entry.event])
                                  .arg(number > 0 ? QString::number(number) : QStringLiteral("-")),
                              entry.bytes, entry.note)
        << Qt::endl;
}

// The adapter's log shows what passed the cable, not what a controller did
// to it: "!! N" adds the frames controller N took with a fault noted (the
// note of a reply repeats its request's) and the bytes it threw away, on
// the adapter's clock.
void CableConsole::tellFault(ControllerSimulator* controller,
                             const ControllerSimulator::LogEntry& entry)
{
    if (!logging || entry.note.isEmpty() || entry.direction == ControllerSimulator::Reply)
        return;
    const double elapsedMs = adapter->elapsedMs() - controller->elapsedMs() + entry.elapsedMs;
    QTextStream(stdout) << SimModbus::logLine(
        elapsedMs, QStringLiteral("!! %1").arg(controllerNumber(controller)), entry.bytes,
        entry.note) << Qt::endl;
}

#include "commandrunner.h"

#include <QProcess>

namespace {

[[maybe_unused]] CommandResult runProcess(const QString& program, const QStringList& arguments,
                                          int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    result.finished = process.waitForFinished(timeoutMs);
    result.output = process.readAllStandardOutput();
    result.exitStatus = process.exitStatus();
    result.exitCode = process.exitCode();
    return result;
}

// What QProcess reports for a program it cannot start.
[[maybe_unused]] CommandResult absentCommand()
{
    CommandResult result;
    result.exitStatus = QProcess::NormalExit;
    result.exitCode = 255;
    return result;
}

} // namespace

CommandRunner::~CommandRunner() = default;

CommandResult CommandRunner::run(const QString& program, const QStringList& arguments,
                                 int timeoutMs)
{
#ifdef Q_OS_MACOS
    return runProcess(program, arguments, timeoutMs);
#else
    Q_UNUSED(program)
    Q_UNUSED(arguments)
    Q_UNUSED(timeoutMs)
    return absentCommand();
#endif
}

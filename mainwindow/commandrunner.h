#ifndef COMMANDRUNNER_H
#define COMMANDRUNNER_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a system command gave back.
struct CommandResult
{
    // It started and ended within its time limit.
    bool finished = false;
    QByteArray output;
    int exitStatus = 0; // QProcess::ExitStatus
    int exitCode = 0;
};

// Runs a system command and waits for it. The system's own runner knows the
// macOS commands the driver check asks for; elsewhere it reports every
// command as absent at once, as a process that failed to start.
class CommandRunner
{
public:
    virtual ~CommandRunner();

    virtual CommandResult run(const QString& program, const QStringList& arguments, int timeoutMs);
};

#endif // COMMANDRUNNER_H

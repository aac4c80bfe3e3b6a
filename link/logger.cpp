#include "logger.h"

#include "kelvara.h"
#include "parameter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

const int nameFieldWidth = 35;

} // namespace

Logger::Logger(QObject* parent, QString testType, Kelvara* model)
    : QObject(parent)
    , model(model)
{
    QDir workingDirectory;
    if (!workingDirectory.exists(folderName))
        workingDirectory.mkdir(folderName);
    logFile = new QFile(uniqueLogPath(QDir(folderName).absolutePath(), testType));
    logFile->open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate);
}

Logger::Logger(QObject* parent, Kelvara* model)
    : QObject(parent)
    , model(model)
{
}

Logger::~Logger()
{
    if (logFile) {
        logFile->close();
        delete logFile;
    }
}

QString Logger::fileName() const
{
    return logFile ? logFile->fileName() : QString();
}

// Tests started within the same second get " (2)", " (3)", ... after the
// time, so a new log never empties an earlier one.
QString Logger::uniqueLogPath(const QString& folder, const QString& testType)
{
    const QString base = folder + QDir::separator()
        + QDateTime::currentDateTime().toString(QStringLiteral("MM.dd-hh:mm:ss"));
    const QString suffix = testType == QLatin1String("static") ? QStringLiteral(" Static.txt")
                                                               : QStringLiteral(" Dynamic.txt");
    QString path = base + suffix;
    for (int n = 2; QFile::exists(path); ++n)
        path = base + QStringLiteral(" (%1)").arg(n) + suffix;
    return path;
}

QString Logger::blockHeader(bool newBlock, bool isRead)
{
    if (!newBlock)
        return QString();
    return isRead ? QStringLiteral("\nRead Res:\n") : QStringLiteral("\nWrite Res:\n");
}

void Logger::write(int address, bool newBlock, bool isRead)
{
    writeToFile(blockHeader(newBlock, isRead)
                + QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss "))
                + QStringLiteral("Addr: ") + QString::number(address) + QStringLiteral(": ")
                + getElementByAddr(address) + QStringLiteral(" - Value: ") + getAddrValue(address)
                + QLatin1Char('\n'));
}

void Logger::write(const QString& text)
{
    writeToFile(text.contains(QLatin1Char('\n')) ? text : text + QLatin1Char('\n'));
}

QString Logger::formatDevMessage(int address, bool newBlock, bool isRead)
{
    // The local time costs a time-zone lookup: once a reply is enough.
    if (newBlock || devMessageTime.isEmpty())
        devMessageTime = QTime::currentTime().toString(QStringLiteral("hh:mm:ss "));
    return blockHeader(newBlock, isRead) + devMessageTime + QStringLiteral(" - Addr: ")
        + QString::number(address) + QStringLiteral(" - ") + getElementByAddr(address)
        + QStringLiteral(" - Value: ") + getAddrValue(address);
}

QString Logger::getElementByAddr(int address)
{
    Parameter* parameter = model ? model->getParameter(address) : nullptr;
    const QString name = parameter
        ? parameter->getName()
        : QStringLiteral("Could Not Find Variable: Addr - ") + QString::number(address);
    return name.leftJustified(nameFieldWidth, QLatin1Char(' '));
}

QString Logger::getAddrValue(int address)
{
    Parameter* parameter = model ? model->getParameter(address) : nullptr;
    if (!parameter)
        return QString();
    return QString::number(parameter->getValue(), 'g', 6);
}

void Logger::writeToFile(const QString& text)
{
    if (!logFile || !logFile->isOpen())
        return;
    QTextStream out(logFile);
    out.setCodec("UTF-8");
    out << text;
    out.flush();
}

#ifndef LOGGER_H
#define LOGGER_H

#include <QObject>
#include <QString>

class Kelvara;
class QFile;

// Formats what the link exchanges with the controller: one line per
// register for the developer console, and, for a logger made with a test
// type, the autotune test log in the folder "logs" of the working
// directory ("MM.dd-hh:mm:ss Static.txt" or "... Dynamic.txt").
//
// A logger without a file formats as usual and writes nothing. A log file
// that cannot be made is not reported: its writes then have no effect.
class Logger : public QObject
{
public:
    // A test log; testType "static" gives a " Static.txt" file, any other
    // word a " Dynamic.txt" one.
    Logger(QObject* parent, QString testType, Kelvara* model);
    // A formatter without a file.
    Logger(QObject* parent, Kelvara* model);
    ~Logger() override;

    // One result line for a register, with a "Read Res"/"Write Res" header
    // in front when newBlock is set.
    void write(int address, bool newBlock, bool isRead);
    // A free text; a line end is added only when it holds none.
    void write(const QString& text);

    // The console text for a register (no line end). The lines of one
    // reply carry the time of its first line.
    QString formatDevMessage(int address, bool newBlock, bool isRead);
    // The parameter's name, padded with blanks to 35 characters.
    QString getElementByAddr(int address);
    // The display value in 6 significant digits; empty without a parameter.
    QString getAddrValue(int address);

    // The log file's path; empty for a logger without a file.
    QString fileName() const;

private:
    static QString blockHeader(bool newBlock, bool isRead);
    static QString uniqueLogPath(const QString& folder, const QString& testType);
    void writeToFile(const QString& text);

    QFile* logFile = nullptr;
    Kelvara* model = nullptr;
    QString folderName = QStringLiteral("logs");
    QString devMessageTime;
};

#endif // LOGGER_H

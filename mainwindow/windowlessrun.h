#ifndef WINDOWLESSRUN_H
#define WINDOWLESSRUN_H

#include <QObject>
#include <QString>

class DevScreen;
class Kelvara;
class KelvaraCom;
class QComboBox;
class QCommandLineParser;
class QTimer;
class Ui_MainWindow;

// The windowless command-line run: one register read or written through the
// Dev Screen's fields, the result printed on standard output.
class WindowlessRun : public QObject
{
    Q_OBJECT

public:
    // Nothing given is owned; the port is chosen in the window's drop-down.
    WindowlessRun(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, DevScreen* devScreen,
                  QComboBox* portBox, QObject* parent);

    // Prepares and starts one read or write from the command line; 0 when
    // it was started, -1 after an error line.
    int windowlessRun(QCommandLineParser* parser);

signals:
    // The run keeps the port it was given from now on.
    void portChosen();
    // The outcome is printed; the event loop is to end with this code.
    void finished(int code);

public slots:
    void finishWindowlessRun();

private slots:
    void endAtTimeLimit();

private:
    bool applyWindowlessBaud(const QString& baud);
    bool selectWindowlessPort(const QString& name);
    bool applyWindowlessAddress(const QString& address);
    bool runPreparatoryReads();
    void startWindowlessRead();
    bool isWithinLimits(double value);
    void startWindowlessWrite(double value);
    void takeWriteFailure(const QString& title);
    QString unansweredWriteNote() const;
    void startTimeLimit(qint64 ms);
    void failWindowlessRun(const QString& reason);
    static void printLine(const QString& line);

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    DevScreen* devScreen;
    QComboBox* portBox;

    // The one operation and its outcome.
    enum class WindowlessOperation { None, Read, Write };
    WindowlessOperation windowlessOperation = WindowlessOperation::None;
    bool windowlessConfirmed = false;
    bool windowlessFinished = false;
    QString windowlessFailure;
    QString windowlessFailureMessage;
    // A line after the failure on what the controller may be left holding:
    // a value written but not saved to flash is lost at its next power-off.
    QString windowlessValueNote;
    bool savedToFlash = false;
    bool otherControllerAnswered = false;
    bool writeSentBeforeRefusal = false;
    // The last reply judged was a good one.
    bool lastReplyAnswered = false;
    // Only a safety net: the link's own outcome signals end the run.
    QTimer* timeLimit = nullptr;
    qint64 timeLimitMs = 0;
};

#endif // WINDOWLESSRUN_H

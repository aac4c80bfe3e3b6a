#ifndef DEVSCREEN_H
#define DEVSCREEN_H

#include <QFont>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>

class Kelvara;
class KelvaraCom;
class Parameter;
class Ui_MainWindow;

// The Dev Screen: one register by address, read or written alone, the
// controller's hardware id and serial number, and the console of the
// link's traffic and the window's status texts.
class DevScreen : public QObject
{
    Q_OBJECT

public:
    // Neither the form nor the model nor the link is owned; the console
    // writes in monoFont.
    DevScreen(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, const QFont& monoFont,
              QObject* parent);

    // The register of the address field; for an address without a
    // definition the model's shared placeholder.
    Parameter* parameter() const { return devParameter; }
    bool isDevRegisterDefined() const;
    // Empty when the register takes the value.
    QString devValueRefusal(double value, const QString& valueText) const;
    // The Save button writes only to a connected controller.
    void setConnected(bool isConnected);
    // A read found another value in the register than the one a box said
    // it stays marked with, and no read of the whole controller names it:
    // when it was the Read button's, its box does, once the read is over.
    void noteKeptReplaced(int address);

signals:
    void read(int address);
    void write(int address);
    // A typed value the register does not take.
    void valueRefused(const QString& title, const QString& text);
    // The Read button's read found the controller without a value a box
    // said stays marked.
    void keptValueReplaced(const QString& title, const QString& text);

public slots:
    void addressChanged(int addr);
    void devValueSet(double newValue);
    void devValueEdited();
    void onReadClicked();
    void displayHWIDDev();
    void setDevReplyText(const QString& replyText);

private:
    void connectDevHWIDParameters();
    void showNoDevValue();
    void writeDevRegister();
    void endReads();
    void flushDevReplyText();
    void dropOldestConsoleLines(int incoming);
    void clearDevReplyText();

    Ui_MainWindow* ui;
    Kelvara* model;
    KelvaraCom* com;
    QFont monoFont;
    bool connected = false;

    Parameter* devParameter = nullptr;
    QMetaObject::Connection devDisplayConnection;
    QString lastReplyText;
    QStringList pendingReplyLines;
    // Registers the Read button asked for, until their reads are over, and
    // those of them whose read replaced a value a box said stays marked.
    QList<int> readsAsked;
    QList<int> keptReplaced;
};

#endif // DEVSCREEN_H

#ifndef DEVSCREEN_H
#define DEVSCREEN_H

#include <QFont>
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

signals:
    void read(int address);
    void write(int address);
    // A typed value the register does not take.
    void valueRefused(const QString& title, const QString& text);

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
};

#endif // DEVSCREEN_H

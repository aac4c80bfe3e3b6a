// The USB-serial driver check: which FTDI drivers the system has loaded, a
// word of advice, and on request the installer package for the system's
// version. It runs once per run on a slow fault read, unless switched off,
// and from the Help menu.

#include "mainwindow.h"

#include "commandrunner.h"
#include "urlopener.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>

namespace {

const int commandTimeLimit = 30000;
const char* const checkSetting = "doCheckMacDriver";
const char* const driverPage = "https://ftdichip.com/drivers/vcp-drivers/";
const char* const installationGuide =
    "https://ftdichip.com/wp-content/uploads/2020/08/AN_134_FTDI_Drivers_Installation_Guide_for_MAC_OSX-1.pdf";

const char* const driverPackages[] = {
    "resources/FTDIUSBSerialDriver_10_3.mpkg",
    "resources/FTDIUSBSerialDriver_10_4_10_5_10_6_10_7.mpkg",
    "resources/FTDIUSBSerial242.pkg",
};
const int cancelChoice = 3;

// Set once the check has run by itself in this run of the program.
bool automaticCheckDone = false;

// Command output as text, up to its first NUL byte.
QByteArray plainText(const QByteArray& output)
{
    const int end = output.indexOf('\0');
    return end < 0 ? output : output.left(end);
}

QString installAdvice()
{
    return QObject::tr("You can use the Install Driver button above, or you can install from "
                       "FTDI's website:\n")
        + QLatin1String(driverPage)
        + QObject::tr("\nFTDI also suggests disabling Apple's drivers. That probably isn't "
                      "needed, but  if you want to, there are instructions in Section 7 of "
                      "FTDI's installation guide: \n")
        + QLatin1String(installationGuide);
}

QString osFingerprintFailString(bool ran, const QString& command, const QByteArray& output,
                                const CommandResult& process)
{
    QString text = QObject::tr("User input needed to determine OS.\n");
    text += ran ? QObject::tr("Can't decypher output of '") + command + QStringLiteral("'. ")
                : QStringLiteral("'") + command + QObject::tr("' failed. ");
    text += QObject::tr("Output:\n") + QString::fromLocal8Bit(output);
    text += QObject::tr("\nExit status: ") + QString::number(process.exitStatus);
    if (!ran)
        text += QObject::tr("\nError code: ") + QString::number(process.exitCode);
    return text;
}

// The box of a check whose kextstat did not run to its end.
void describeFailedCheck(QMessageBox* box, const CommandResult& kextstat, const QByteArray& output)
{
    box->setText(MainWindow::tr("Unable to check driver"));
    box->setInformativeText(
        MainWindow::tr("It's safe to continue, but if communication is slow, you might need to "
                       "install a new driver for the FTDI USB Serial cable."));
    QString detail = QStringLiteral("kextstat");
    detail += output.size() < 2
        ? MainWindow::tr(" failed to run.")
        : MainWindow::tr(" failed. Output:\n") + QString::fromLocal8Bit(output);
    detail += MainWindow::tr("\nExit status: ") + QString::number(kextstat.exitStatus);
    detail += MainWindow::tr("\nError code: ") + QString::number(kextstat.exitCode);
    detail += MainWindow::tr("\nMore driver info and downloads available at ")
        + QLatin1String(driverPage);
    box->setDetailedText(detail);
}

// Rich text from its first line on, or the box shows the link's markup: the
// line break is a tag too.
QString twoDriversAdvice()
{
    const QString advice =
        MainWindow::tr("Two different comm drivers are loaded. If you have installed the FTDI "
                       "driver but not rebooted, please reboot to load the new driver.\nIf you've "
                       "rebooted and are seeing this, you may need to disable the default Apple "
                       "drivers following Section 7 of ");
    return advice.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"))
        + QStringLiteral("<a href=\"%1\">").arg(QLatin1String(installationGuide))
        + MainWindow::tr("FTDI's installation guide").toHtmlEscaped() + QStringLiteral("</a>");
}

QString noDriverAdvice(bool userRequested)
{
    return MainWindow::tr("No USB Serial driver detected, but a Kelvara seems to be connected. ")
        + (userRequested ? MainWindow::tr("This is probably fine. If you want, you can install a "
                                          "driver anyways.")
                         : MainWindow::tr("Since the connection seems slow, we recommend "
                                          "installing FTDI's USB Serial Driver."));
}

// 0, 1 or 2 for the three package choices, 3 for cancel.
int getOSFromUser(MainWindow* parent, const QString& detail)
{
    QMessageBox box(parent);
    box.setText(QObject::tr("Unable to determine OS version"));
    box.setInformativeText(QObject::tr("Please select your computer's OS version"));
    box.setDetailedText(detail);
    const QList<QPushButton*> systems = {
        box.addButton(QObject::tr("Mac OS X 10.3"), QMessageBox::ApplyRole),
        box.addButton(QObject::tr("Mac OS X 10.4 to 10.8"), QMessageBox::ApplyRole),
        box.addButton(QObject::tr("Mac OS X 10.9 and above"), QMessageBox::ApplyRole),
    };
    box.setDefaultButton(box.addButton(QObject::tr("Cancel"), QMessageBox::RejectRole));
    box.exec();
    const int choice = systems.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return choice < 0 ? cancelChoice : choice;
}

} // namespace

void MainWindow::setCommandRunner(std::unique_ptr<CommandRunner> runner)
{
    commandRunner = std::move(runner);
}

void MainWindow::setUrlOpener(std::unique_ptr<UrlOpener> opener)
{
    urlOpener = std::move(opener);
}

// A command-line run has no one to answer a box.
void MainWindow::macSlowFaultRead(int elapsedMs)
{
    Q_UNUSED(elapsedMs)
    if (windowless)
        return;
    const QString key = QLatin1String(checkSetting);
    if (settings->contains(key) && settings->value(key).toInt() == 0)
        return;
    if (automaticCheckDone)
        return;
    automaticCheckDone = true;
    checkDriverMacHelper(false);
}

void MainWindow::checkDriverMac()
{
    checkDriverMacHelper(true);
}

void MainWindow::checkDriverMacHelper(bool userRequested)
{
    const CommandResult kextstat =
        commandRunner->run(QStringLiteral("kextstat"), {}, commandTimeLimit);
    const QByteArray output = plainText(kextstat.output);
    const QString key = QLatin1String(checkSetting);
    const bool automaticCheckOn = !settings->contains(key) || settings->value(key).toInt() != 0;

    QMessageBox box(this);
    QPushButton* continueButton =
        box.addButton(tr("Continue Without Installing Driver"), QMessageBox::NoRole);
    box.setEscapeButton(continueButton);
    QPushButton* installButton =
        box.addButton(tr("Install FTDI USB Serial Driver"), QMessageBox::YesRole);
    QPushButton* disableButton = nullptr;
    if (!userRequested && automaticCheckOn)
        disableButton =
            box.addButton(tr("Disable Driver Check When Software Starts"), QMessageBox::ActionRole);
    QPushButton* suggested = userRequested ? continueButton : installButton;

    if (!kextstat.finished) {
        describeFailedCheck(&box, kextstat, output);
    } else {
        const bool apple = output.contains("AppleUSBFTDI");
        const bool ftdi = output.contains("FTDIUSBSerialDriver");
        box.setText(tr("Driver test complete"));
        if (ftdi && !userRequested)
            return;
        if (ftdi && apple) {
            box.setInformativeText(twoDriversAdvice());
            box.removeButton(installButton);
            delete installButton;
            installButton = nullptr;
            continueButton->setText(tr("Continue"));
            suggested = continueButton;
        } else if (ftdi) {
            QMessageBox::information(this, tr("Driver test complete"),
                                     tr("A good FTDI USB Serial driver seems to be loaded."));
            return;
        } else if (apple) {
            box.setText(tr("Driver update suggested"));
            box.setInformativeText(tr("We recommend updating your FTDI USB Serial Driver."));
            box.setDetailedText(installAdvice());
            suggested = installButton;
        } else if (userRequested && !connected) {
            QMessageBox::information(this, tr("Driver test complete"),
                                     tr("No USB Serial driver seems to be loaded. Please plug the "
                                        "cable's USB end into this computer."));
            return;
        } else {
            box.setInformativeText(noDriverAdvice(userRequested));
            box.setDetailedText(installAdvice());
        }
    }
    box.setDefaultButton(suggested);
    box.exec();

    if (disableButton && box.clickedButton() == disableButton)
        settings->setValue(key, 0);
    else if (installButton && box.clickedButton() == installButton)
        installDriver();
}

void MainWindow::installDriver()
{
    const QString command = QStringLiteral("sw_vers -productVersion");
    const CommandResult swVers = commandRunner->run(
        QStringLiteral("sw_vers"), {QStringLiteral("-productVersion")}, commandTimeLimit);
    const QByteArray output = plainText(swVers.output);
    static const QRegularExpression version(QStringLiteral("^(\\d+)\\.(\\d+)\\."));
    const QRegularExpressionMatch match = version.match(QString::fromLocal8Bit(output));

    int choice = cancelChoice;
    if (!swVers.finished || !match.hasMatch() || match.lastCapturedIndex() != 2) {
        choice =
            getOSFromUser(this, osFingerprintFailString(swVers.finished, command, output, swVers));
    } else {
        const int major = match.captured(1).toInt();
        const int minor = match.captured(2).toInt();
        if (major == 10 && minor == 3)
            choice = 0;
        else if (major == 10 && minor >= 4 && minor <= 8)
            choice = 1;
        else if (major == 10 && minor >= 9)
            choice = 2;
        else
            choice =
                getOSFromUser(this, tr("Unknown OS Version: ") + QString::fromLocal8Bit(output));
    }
    if (choice != cancelChoice)
        openDriverPackage(choice);
}

// Says so when the package is missing or the system cannot open it,
// rather than announcing an installer that never starts.
void MainWindow::openDriverPackage(int choice)
{
    const QString package = QLatin1String(driverPackages[choice]);
    const QString title = tr("Kelvara Software Suite");
    if (!QFileInfo(package).isFile()) {
        QMessageBox::warning(this, title,
                             tr("The driver installer \"%1\" could not be found.").arg(package));
        return;
    }
    if (!urlOpener->open(QUrl::fromLocalFile(QFileInfo(package).absoluteFilePath()))) {
        QMessageBox::warning(this, title,
                             tr("The driver installer \"%1\" could not be opened.").arg(package));
        return;
    }
    QMessageBox::information(this, title,
                             tr("The driver installer should automatically start, but it will "
                                "need your input to complete.\n\nAfter installing, please reboot "
                                "to load the new driver."));
}

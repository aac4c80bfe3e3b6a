// The Dev Screen: one register by address, read or written alone, the
// controller's hardware id and serial number, and the link's console.

#include "devscreen.h"

#include "controllerreadreport.h"
#include "enumparameter.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const int firstV6Firmware = 6000;
const int hardwareVersionAddress = 237;
const int serialNumberAddress = 238;
const int v6HardwareVersionAddress = 1881;
const int v6SerialNumberAddress = 2017;

const char* const notConnectedText = "Controller is not connected";

} // namespace

DevScreen::DevScreen(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com, const QFont& monoFont,
                     QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
    , monoFont(monoFont)
{
    // The value shown is the controller's: after a silence only the
    // controller that was read may answer it.
    connect(this, &DevScreen::read, com,
            [com](int address) { com->queueDecidingRead(address, 1); });
    connect(this, &DevScreen::write, com, QOverload<int>::of(&KelvaraCom::oneWrite));
    connect(ui->read, &QPushButton::clicked, this, &DevScreen::onReadClicked);
    connect(ui->write, &QPushButton::clicked, this, &DevScreen::writeDevRegister);
    connect(ui->addressInput, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &DevScreen::addressChanged);
    connect(ui->valueDisplay, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &DevScreen::devValueSet);
    connect(ui->valueDisplay, &QDoubleSpinBox::editingFinished, this, &DevScreen::devValueEdited);
    connect(ui->hexCheckbox, &QCheckBox::clicked, com, &KelvaraCom::showHexMessage);
    // The console's own "Clear" button empties it.
    connect(ui->pushButton, &QPushButton::clicked, this, &DevScreen::clearDevReplyText);
    connect(com, &KelvaraCom::replyMessageCreated, this, &DevScreen::setDevReplyText);
    connect(com, &KelvaraCom::comSuccess, this, &DevScreen::endReads);
    connect(com, &KelvaraCom::comError, this, &DevScreen::endReads);

    devParameter = model->getParameter(ui->addressInput->value());
    addressChanged(ui->addressInput->value());
    connectDevHWIDParameters();
}

void DevScreen::setConnected(bool isConnected)
{
    connected = isConnected;
    ui->write->setEnabled(connected && isDevRegisterDefined());
}

void DevScreen::addressChanged(int addr)
{
    disconnect(devDisplayConnection);
    devParameter = model->getParameter(addr);
    ui->name->setText(devParameter->getName());
    if (connected)
        ui->write->setEnabled(isDevRegisterDefined());
    if (!isDevRegisterDefined()) {
        showNoDevValue();
        return;
    }
    ui->valueDisplay->setSpecialValueText(QString());

    // Units and decimals of the new register must not round the old value
    // into a new value for it.
    {
        const QSignalBlocker blocker(ui->valueDisplay);
        // Apart from the value, as the pages show it: "120.0 km/h".
        const QString units = devParameter->getUnits();
        ui->valueDisplay->setSuffix(units.isEmpty() ? units : QLatin1Char(' ') + units);
        if (devParameter->numDecimals() != 0)
            ui->valueDisplay->setDecimals(devParameter->numDecimals());
    }
    ui->valueDisplay->setValue(devParameter->getValue());
    if (devParameter->numDecimals() == 0) {
        const QSignalBlocker blocker(ui->valueDisplay);
        ui->valueDisplay->setDecimals(0);
    }

    devDisplayConnection = connect(devParameter, &Parameter::displayChanged, ui->valueDisplay,
                                   &QDoubleSpinBox::setValue);
}

// An address without a definition has no display value: its shared
// placeholder shows -1, or whatever another such register last read. The
// box stays empty and follows nothing.
void DevScreen::showNoDevValue()
{
    const QSignalBlocker blocker(ui->valueDisplay);
    ui->valueDisplay->setSuffix(QString());
    ui->valueDisplay->setDecimals(0);
    ui->valueDisplay->setSpecialValueText(QStringLiteral(" "));
    ui->valueDisplay->setValue(ui->valueDisplay->minimum());
}

// An address without a definition shares one placeholder parameter, whose
// register value is whatever an undefined register last read.
bool DevScreen::isDevRegisterDefined() const
{
    return devParameter != model->getParameter(-1);
}

void DevScreen::writeDevRegister()
{
    if (isDevRegisterDefined())
        emit write(ui->addressInput->value());
}

// The box follows the register too: only a value other than the register
// shows is the user's, or a value the controller holds beyond the limits
// would be written back as the limit.
void DevScreen::devValueSet(double newValue)
{
    Parameter* parameter = model->getParameter(ui->addressInput->value());
    if (parameter->showsValue(newValue))
        return;
    if (parameter->getType() != ParameterDefinition::TypeEnum) {
        parameter->setValue(newValue);
        return;
    }
    // Only a listed value reaches an enum register (a baud rate code the
    // controller does not know cuts it off); an unlisted one is reported
    // once the user has finished typing.
    auto* choice = static_cast<EnumParameter*>(parameter);
    if (choice->takesValue(newValue))
        choice->setValue(newValue);
}

void DevScreen::devValueEdited()
{
    const double shown = ui->valueDisplay->value();
    if (shown == devParameter->getValue())
        return;
    const QString refusal = devValueRefusal(shown, QString::number(shown));
    if (refusal.isEmpty())
        return;
    ui->valueDisplay->setValue(devParameter->getValue());
    setDevReplyText(refusal);
    // The status line and the console move on with the next connection
    // check; a box stays until read.
    emit valueRefused(tr("Value Refused"), refusal);
}

// Empty when the Dev Screen's register takes the value.
QString DevScreen::devValueRefusal(double value, const QString& valueText) const
{
    if (devParameter->getType() != ParameterDefinition::TypeEnum)
        return QString();
    const auto* choice = static_cast<const EnumParameter*>(devParameter);
    if (choice->takesValue(value))
        return QString();
    return QStringLiteral("Value \"%1\" is not one of the values of address %2 (%3)")
        .arg(valueText)
        .arg(ui->addressInput->value())
        .arg(choice->listedValues());
}

void DevScreen::onReadClicked()
{
    const int address = ui->addressInput->value();
    if (!readsAsked.contains(address))
        readsAsked << address;
    emit read(address);
}

void DevScreen::noteKeptReplaced(int address)
{
    if (readsAsked.contains(address) && !keptReplaced.contains(address))
        keptReplaced << address;
}

// A batch of the link ended: a read no longer queued has been answered, or
// dropped with a failure. What the Read button's reads replaced of the
// values a box said stay marked is told as a Read of all values tells it.
void DevScreen::endReads()
{
    QList<int> replaced;
    for (int i = readsAsked.size() - 1; i >= 0; --i) {
        const int address = readsAsked.at(i);
        if (com->isReadQueued(address, 1))
            continue;
        readsAsked.removeAt(i);
        if (keptReplaced.removeAll(address) > 0)
            replaced.prepend(address);
    }
    if (replaced.isEmpty())
        return;
    const ControllerReadReport::Notice notice =
        ControllerReadReport::keptReplacedNotice(replaced, model, true);
    setDevReplyText(notice.text);
    emit keptValueReplaced(notice.title, notice.text);
}

void DevScreen::connectDevHWIDParameters()
{
    connect(com, &KelvaraCom::readAllComplete, this, &DevScreen::displayHWIDDev);
    for (int address : {hardwareVersionAddress, serialNumberAddress, v6SerialNumberAddress,
                        v6HardwareVersionAddress})
        connect(model->getParameter(address), &Parameter::valueSet, this,
                &DevScreen::displayHWIDDev);
}

void DevScreen::displayHWIDDev()
{
    const bool v6 = model->getControllerType().firmware >= firstV6Firmware;
    const int hardware = model->getParameter(v6 ? v6HardwareVersionAddress : hardwareVersionAddress)
                             ->getRegisterValue()
        & 0xffff;
    const int serial =
        model->getParameter(v6 ? v6SerialNumberAddress : serialNumberAddress)->getRegisterValue()
        & 0xffff;
    ui->HWID_Display->setValue(hardware >> 8);
    ui->batchDisplay->setValue(hardware & 0xff);
    ui->serialNumDisplay->setValue(serial);
}

void DevScreen::setDevReplyText(const QString& replyText)
{
    const QString notConnected = tr(notConnectedText);
    if (!(replyText == notConnected && lastReplyText == notConnected)) {
        if (pendingReplyLines.isEmpty())
            QTimer::singleShot(0, this, &DevScreen::flushDevReplyText);
        pendingReplyLines.append(replyText);
    }
    lastReplyText = replyText;
}

// The console takes the lines of a reply in one go once the link has sent
// its next frame: the text is laid out once, not once per register, and
// never between a reply and the next request.
void DevScreen::flushDevReplyText()
{
    if (pendingReplyLines.isEmpty())
        return;
    dropOldestConsoleLines(pendingReplyLines.size());
    ui->replyText->appendPlainText(pendingReplyLines.join(QLatin1Char('\n')));
    pendingReplyLines.clear();
    // Setting it lays out the whole console again: only when a style
    // change has given the console another font.
    if (ui->replyText->document()->defaultFont() != monoFont)
        ui->replyText->document()->setDefaultFont(monoFont);
}

// Makes room for the lines to come. The console's own limit drops the
// oldest lines one by one, laying out each on its way out; a cursor inside
// an edit lays out nothing.
void DevScreen::dropOldestConsoleLines(int incoming)
{
    QTextDocument* document = ui->replyText->document();
    const int limit = document->maximumBlockCount();
    const int excess = qMin(document->blockCount() + incoming - limit, document->blockCount() - 1);
    if (limit <= 0 || excess <= 0)
        return;
    QTextCursor oldest(document->firstBlock());
    oldest.beginEditBlock();
    oldest.setPosition(document->findBlockByNumber(excess).position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
    oldest.endEditBlock();
}

void DevScreen::clearDevReplyText()
{
    pendingReplyLines.clear();
    ui->replyText->clear();
}

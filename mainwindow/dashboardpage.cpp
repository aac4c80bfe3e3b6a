// The Dashboard page: its rows refreshed from the model every 350 ms while
// the page is shown, the live status block polled from the controller and
// plotted on each tick of the plot's own 350 ms timer, the hall and signal
// lamps, the analog inputs named after what drives them, and the menu
// actions the page switches off.

#include "dashboardpage.h"

#include "bitvector.h"
#include "draggabletooltipmanager.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"
#include "qled.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLCDNumber>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace {

const int dashboardRefreshInterval = 350;
const double dashboardRange = 9999.0;

enum PlotChoice { DontPlot = 0, LeftAxis = 1, RightAxis = 2 };

const int statusBlockAddress = 258;
const int statusBlockSize = 74;
const int clearFaultsReadSize = 42;

const int digitalInputsAddress = 276;
const int throttleSourceAddress = 247;
const int brakeSourceAddress = 249;
const int featuresAddress = 212;
const int temperatureSensingBit = 5;

struct AnalogRow
{
    const char* rowName;
    const char* defaultName;
};

const AnalogRow analogRows[] = {
    {"dashboardAnalog1Voltage", "Analog Input 1 (Thrt)"},
    {"dashboardAnalog2Voltage", "Analog Input 2 (Brk1)"},
    {"dashboardAnalog3Voltage", "Analog Input 3 (Brk2)"},
};

int rowAddress(const QWidget* row)
{
    return row->property("address").toInt();
}

// The colour of a lamp for the state of its bit. The hall lamps are bright
// while their input reads 0.
QColor lampColor(int address, int bit, bool set)
{
    if (address == digitalInputsAddress) {
        switch (bit) {
        case 0:
            return set ? QColor(0, 255, 0, 16) : QColor(Qt::green);
        case 1:
            return set ? QColor(255, 255, 0, 24) : QColor(Qt::yellow);
        case 2:
            return set ? QColor(0, 0, 255, 16) : QColor(0, 175, 255);
        default:
            break;
        }
    }
    return set ? QColor(Qt::green) : QColor(Qt::transparent);
}

bool isHallRow(int address, int bit)
{
    return address == digitalInputsAddress && bit >= 0 && bit <= 2;
}

// The text of the register's current value; empty when it has none.
QString enumText(Parameter* parameter)
{
    const QMap<int, QString>* enumDefs = parameter->getEnumDefs();
    return enumDefs ? enumDefs->value(parameter->getRegisterValue()) : QString();
}

void setChooser(QWidget* row, int index)
{
    if (auto* chooser = row->findChild<QComboBox*>())
        chooser->setCurrentIndex(index);
}

} // namespace

DashboardPage::DashboardPage(Ui_MainWindow* ui, Kelvara* model, KelvaraCom* com,
                             DashboardPlot* dashboardPlot, DraggableTooltipManager* tooltipManager,
                             const QFont& monoFont, QObject* parent)
    : QObject(parent)
    , ui(ui)
    , model(model)
    , com(com)
    , dashboardPlot(dashboardPlot)
    , tooltipManager(tooltipManager)
    , monoFont(monoFont)
{
    connect(ui->dashboardStartStopButton, &QPushButton::clicked, this,
            &DashboardPage::onGraphStartStopClicked);
    ui->dashboardStartStopButton->setText(tr("Start Graph"));
    connectPlotButtons();
}

void DashboardPage::setConnected(bool isConnected)
{
    connected = isConnected;
}

void DashboardPage::setRefreshing(bool on)
{
    if (on)
        dashboardRefreshTimer->start();
    else
        dashboardRefreshTimer->stop();
    setPlotSampling(on);
}

void DashboardPage::connectDashboardParameters(const RowMap& rows)
{
    if (dashboardRefreshTimer)
        return;
    dashboardWidgets = rows;
    dashboardRefreshTimer = new QTimer(this);
    dashboardRefreshTimer->setObjectName(QStringLiteral("dashboardRefreshTimer"));
    dashboardRefreshTimer->setInterval(dashboardRefreshInterval);
    // The link stores a reply's registers in order: the block's last one
    // ends a read of all of it.
    connect(model->getParameter(statusBlockAddress + statusBlockSize - 1), &Parameter::valueSet,
            this, [this] { statusBlockRead = true; });

    for (auto it = dashboardWidgets.constBegin(); it != dashboardWidgets.constEnd(); ++it) {
        QWidget* row = it.value();
        const int address = rowAddress(row);
        Parameter* parameter = model->getParameter(address);
        tooltipManager->insertToolTipButton(row, parameter);
        QLabel* label = row->findChild<QLabel*>();
        prepareDashboardChooser(row, address);

        if (parameter->getType() == ParameterDefinition::TypeBitVector) {
            const RowKey key = dashboardWidgets.key(row, RowKey(address, 0));
            const QMap<int, QString>* bitDefs = static_cast<BitVector*>(parameter)->getBitDefs();
            if (label)
                label->setText(bitDefs ? bitDefs->value(key.second) : QString());
            connect(dashboardRefreshTimer, &QTimer::timeout, row,
                    [this, row] { updateDashboardLed(row); });
            continue;
        }
        if (label)
            label->setText(parameter->getName());
        prepareDashboardNumber(row, parameter);
    }
}

// The plot chooser; the registers plotted from the start are chosen only
// once the chooser reports to the plot.
void DashboardPage::prepareDashboardChooser(QWidget* row, int address)
{
    auto* chooser = row->findChild<QComboBox*>();
    if (!chooser)
        return;
    chooser->insertItem(DontPlot, tr("Don't Plot"));
    chooser->insertItem(LeftAxis, tr("Left Axis"));
    chooser->insertItem(RightAxis, tr("Right Axis"));
    connect(chooser, QOverload<int>::of(&QComboBox::currentIndexChanged), row,
            [this, row] { plotRowChooserChanged(row); });
    if (address == 265 || address == 266)
        chooser->setCurrentIndex(LeftAxis);
    else if (address == 263)
        chooser->setCurrentIndex(RightAxis);
}

void DashboardPage::prepareDashboardNumber(QWidget* row, Parameter* parameter)
{
    if (auto* box = row->findChild<QDoubleSpinBox*>()) {
        connect(dashboardRefreshTimer, &QTimer::timeout, row,
                [this, row] { updateDashboardSpinbox(row); });
        box->setSuffix(QLatin1Char(' ') + parameter->getUnits());
        box->setDecimals(parameter->numDecimals());
        box->setMaximum(dashboardRange);
        box->setFont(monoFont);
        if (parameter->isSigned())
            box->setMinimum(-dashboardRange);
    } else if (row->findChild<QLCDNumber*>()) {
        connect(dashboardRefreshTimer, &QTimer::timeout, row,
                [this, row] { updateDashboardLCD(row); });
    }
}

void DashboardPage::updateDashboardSpinbox(QWidget* row)
{
    auto* box = row->findChild<QDoubleSpinBox*>();
    if (!box)
        return;
    // A spin box repaints on every setValue, even of the value it shows.
    const double value = model->getParameter(rowAddress(row))->getValue();
    if (value != box->value())
        box->setValue(value);
}

void DashboardPage::updateDashboardLCD(QWidget* row)
{
    if (auto* lcd = row->findChild<QLCDNumber*>())
        lcd->display(model->getParameter(rowAddress(row))->getValue());
}

// From the model only: the poll brings the values in.
void DashboardPage::updateDashboardLed(QWidget* row)
{
    const int address = rowAddress(row);
    const int bit = row->property("bit").toInt();
    Parameter* parameter = model->getParameter(address);
    auto* lamp = row->findChild<QLed*>();
    if (!lamp || parameter->getType() != ParameterDefinition::TypeBitVector)
        return;
    if (isHallRow(address, bit))
        selectHallColumn();
    lamp->setColor(lampColor(address, bit, static_cast<BitVector*>(parameter)->getBit(bit)));
}

void DashboardPage::enterDashboard()
{
    dashboardActive = true;
    // The plot's samples are of the page's own polls.
    statusBlockRead = false;
    connectPlotTick(true);
    for (QAction* action : {ui->autotuneAction, ui->exportXML, ui->importXML, ui->advanced_Export,
                            ui->advanced_Import})
        action->setEnabled(false);
    dashboardRefreshTimer->start();
    ui->dashboardExportPlot->setEnabled(true);
    rebuildHallTable();
    if (resumePlotOnEnter())
        onGraphStartStopClicked();
}

void DashboardPage::leaveDashboard()
{
    dashboardRefreshTimer->stop();
    connectPlotTick(false);
    dashboardActive = false;
    updateConnectedActions();
    ui->importXML->setEnabled(true);
    ui->advanced_Import->setEnabled(true);
    if (pausePlotOnLeave())
        onGraphStartStopClicked();
}

void DashboardPage::updateConnectedActions()
{
    setControllerActionsEnabled(connected && model->isValid());
}

// Autotune and the exports need a controller's values, whichever path
// enables them, and stay off while the Dashboard polls.
void DashboardPage::setControllerActionsEnabled(bool usable)
{
    for (QAction* action : {ui->autotuneAction, ui->exportXML, ui->advanced_Export})
        action->setEnabled(usable && !dashboardActive);
}

// Export stays possible whether graphing runs or is paused.
void DashboardPage::onGraphStartStopClicked()
{
    togglePlotGraphing();
}

void DashboardPage::setStartStopText(const QString& text)
{
    ui->dashboardStartStopButton->setText(text);
}

// Each tick asks the window for the first read-all of the connection,
// unless one is under way. The plot takes a sample only of a status block
// read since its last one: a poll that got no answer measured nothing.
void DashboardPage::readDashboardValues()
{
    if (!connected)
        return;
    if (!com->isReadAllQueued())
        emit firstReadWanted();
    if (!com->isReadQueued(statusBlockAddress, statusBlockSize)
        && !com->isReadQueued(statusBlockAddress, clearFaultsReadSize))
        com->pollStatus(statusBlockAddress, statusBlockSize);
    if (statusBlockRead) {
        statusBlockRead = false;
        samplePlot();
    }
}

void DashboardPage::updateDashboardUI()
{
    const QString throttleSource = enumText(model->getParameter(throttleSourceAddress));
    const QString brakeSource = enumText(model->getParameter(brakeSourceAddress));
    for (const AnalogRow& analog : analogRows) {
        if (QWidget* row = ui->dashboardScreen->findChild<QWidget*>(QLatin1String(analog.rowName)))
            relabelAnalogRow(row, QLatin1String(analog.defaultName), throttleSource, brakeSource);
    }

    const int features = model->getParameter(featuresAddress)->getRegisterValue();
    const bool sensing = (features >> temperatureSensingBit) & 1;
    ui->dashboardMotorTemperature->setVisible(sensing);
    if (!sensing)
        setChooser(ui->dashboardMotorTemperature, DontPlot);
}

// An input that drives the throttle or the brake is named after it; the
// others are hidden and taken off the plot.
void DashboardPage::relabelAnalogRow(QWidget* row, const QString& defaultName,
                                     const QString& throttleSource, const QString& brakeSource)
{
    row->show();
    QString name;
    if (defaultName == throttleSource && defaultName == brakeSource)
        name = tr("Throttle and Brake Voltage");
    else if (defaultName == throttleSource)
        name = tr("Throttle Voltage");
    else if (defaultName == brakeSource)
        name = tr("Brake Voltage");

    const bool used = !name.isEmpty();
    if (!used)
        name = defaultName + QStringLiteral(" Voltage");
    model->getParameter(rowAddress(row))->setName(name);
    if (QLabel* label = row->findChild<QLabel*>())
        label->setText(name);

    auto* chooser = row->findChild<QComboBox*>();
    if (!used) {
        row->hide();
        if (chooser)
            chooser->setCurrentIndex(DontPlot);
    } else if (chooser && chooser->currentIndex() != DontPlot) {
        // The plot drops the register and takes it again under its new name.
        const int axis = chooser->currentIndex();
        chooser->setCurrentIndex(DontPlot);
        chooser->setCurrentIndex(axis);
    }
}

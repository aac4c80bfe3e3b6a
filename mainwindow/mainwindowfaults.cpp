// The fault display of the Basic Setup and Dashboard pages: a lamp (red for
// faults, yellow for warnings only, green otherwise), the list of set bits
// and the Clear Faults buttons.

#include "mainwindow.h"

#include "bitvector.h"
#include "dashboardpage.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "ui_mainwindow.h"

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QTimer>

namespace {

const int faultsAddress = 258;
const int faults2Address = 299;
const int warningsAddress = 277;

const int basicLampSize = 29;
const int dashboardLampSize = 18;

} // namespace

void MainWindow::connectFaultDisplay()
{
    auto* basicScene = new QGraphicsScene(this);
    auto* dashboardScene = new QGraphicsScene(this);
    ui->faultIndicator->setScene(basicScene);
    ui->dashboardFaultIndicator->setScene(dashboardScene);
    ui->faultIndicator->setStyleSheet(QStringLiteral("background: transparent"));
    ui->dashboardFaultIndicator->setStyleSheet(QStringLiteral("background: transparent"));
    faultLed =
        basicScene->addEllipse(0, 0, basicLampSize, basicLampSize, QPen(), QBrush(Qt::green));
    dashboardFaultLed = dashboardScene->addEllipse(0, 0, dashboardLampSize, dashboardLampSize,
                                                   QPen(), QBrush(Qt::green));
    ui->clearFaults->setEnabled(false);
    ui->dashboardClearFaults->setEnabled(false);

    updateFaultStatus();

    for (int address : {faultsAddress, faults2Address, warningsAddress})
        connect(model->getParameter(address), &Parameter::displayChanged, this,
                &MainWindow::updateFaultStatus);
    connect(ui->clearFaults, &QPushButton::clicked, this, &MainWindow::onclearFaults_clicked);
    connect(ui->dashboardClearFaults, &QPushButton::clicked, this,
            &MainWindow::onclearFaults_clicked);
}

// Reads all three registers whichever of them changed.
void MainWindow::updateFaultStatus(double)
{
    if (!faultLed)
        return;
    const auto whole = [this](int address) {
        return static_cast<int>(model->getParameter(address)->getValue());
    };
    const bool faulted = whole(faultsAddress) != 0 || whole(faults2Address) != 0;
    ui->clearFaults->setEnabled(faulted);
    ui->dashboardClearFaults->setEnabled(faulted);
    if (faulted)
        setFaultLamps(Qt::red);
    else
        setFaultLamps(whole(warningsAddress) != 0 ? Qt::yellow : Qt::green);

    ui->faultText->clear();
    ui->dashboardFaultText->clear();
    listFaultBits(faultsAddress, QStringLiteral("Faults["));
    listFaultBits(faults2Address, QStringLiteral("Faults2["));
    listFaultBits(warningsAddress, QStringLiteral("Warnings["));
}

void MainWindow::setFaultLamps(const QColor& color)
{
    faultLed->setBrush(QBrush(color));
    dashboardFaultLed->setBrush(QBrush(color));
}

// One line per set bit that has a text, in ascending bit order.
void MainWindow::listFaultBits(int address, const QString& prefix)
{
    Parameter* parameter = model->getParameter(address);
    if (parameter->getType() != ParameterDefinition::TypeBitVector)
        return;
    auto* bits = static_cast<BitVector*>(parameter);
    const QMap<int, QString>* bitDefs = bits->getBitDefs();
    if (!bitDefs)
        return;
    for (auto it = bitDefs->constBegin(); it != bitDefs->constEnd(); ++it) {
        if (!bits->getBit(it.key()))
            continue;
        const QString line =
            prefix + QString::number(it.key()) + QStringLiteral("]: ") + it.value();
        ui->faultText->append(line);
        ui->dashboardFaultText->append(line);
    }
}

// On the Dashboard the next poll waits a full interval after the request.
void MainWindow::onclearFaults_clicked()
{
    const bool onDashboard = isDashboardShown();
    if (onDashboard)
        dashboard->setRefreshing(false);
    com->clearFaults();
    if (onDashboard)
        dashboard->setRefreshing(true);
}

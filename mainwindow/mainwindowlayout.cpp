// Places the logo, the port drop-down, its label and the status text above
// the tab bar; they are children of the window, not of a layout.

#include "mainwindow.h"

#include "kelvaracom.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QResizeEvent>
#include <QTabBar>

namespace {

const int narrowWindowWidth = 800;
const int narrowStatusX = 20;
const int wideStatusX = 625;
const int alertRaise = 5;
const int statusGap = 8;

void setStyleSheetOnce(QWidget* widget, const QString& styleSheet)
{
    if (widget->styleSheet() != styleSheet)
        widget->setStyleSheet(styleSheet);
}

} // namespace

// Where the last tab ends: large fonts or an added page can reach past
// the status text's usual place, which would then cover tab titles.
int MainWindow::tabsRightEdge() const
{
    const auto* tabs = ui->tabWidget->findChild<QTabBar*>();
    if (!tabs || tabs->count() == 0)
        return 0;
    return tabs->mapTo(this, tabs->tabRect(tabs->count() - 1).topRight()).x();
}

void MainWindow::emitResizeEvent()
{
    resizeEvent(nullptr);
}

void MainWindow::resizeEvent(QResizeEvent* e)
{
    if (e)
        QMainWindow::resizeEvent(e);
    // Setting a style sheet again re-polishes every widget below it.
    setStyleSheetOnce(logoLabel, QStringLiteral("QLabel { background-color : white }"));
    setStyleSheetOnce(ui->tabWidget, QStringLiteral("QTabBar {qproperty-drawBase:0; };"));

    const int right = ui->tabWidget->mapTo(this, QPoint(ui->tabWidget->width() - 1, 0)).x();
    const int y0 = menuBar()->geometry().bottom() + 1;
    const int boxHeight = portBox->height();
    const int logoWidth = logoLabel->width();
    const int boxWidth = portBox->width();

    logoLabel->move(right + 1 - logoWidth, y0);
    portBox->move(right + 1 - boxWidth - logoWidth, y0);

    const bool alert = baudAlert && !connected;
    if (alert)
        portLabel->setText(tr("Serial Port:") + QStringLiteral("\nAlert: ")
                           + QString::number(com->getBaud()) + QStringLiteral(" baud"));
    else
        portLabel->setText(tr("Serial Port:"));
    const int labelWidth = portLabel->width();
    portLabel->resize(portLabel->sizeHint());
    portLabel->move(right - 4 - labelWidth - boxWidth - logoWidth,
                    y0 + boxHeight / 4 - (alert ? alertRaise : 0));

    if (ui->centralWidget->width() < narrowWindowWidth) {
        ui->verticalSpacer_aboveTabs->changeSize(0, boxHeight + 1, QSizePolicy::Minimum,
                                                 QSizePolicy::Fixed);
        statusLabel->move(narrowStatusX, y0 + boxHeight / 4);
    } else {
        ui->verticalSpacer_aboveTabs->changeSize(0, 0, QSizePolicy::Minimum, QSizePolicy::Fixed);
        statusLabel->move(qMax(wideStatusX, tabsRightEdge() + statusGap), y0 + boxHeight / 4);
    }
    ui->centralWidget->layout()->invalidate();
}

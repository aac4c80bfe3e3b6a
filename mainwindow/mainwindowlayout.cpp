// Places the logo, the port drop-down, its label and the status text above
// the tab bar; they are children of the window, not of a layout.

#include "mainwindow.h"

#include "kelvaracom.h"
#include "screenfit.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QResizeEvent>
#include <QTabBar>

namespace {

const int narrowWindowWidth = 800;
const int narrowStatusX = 20;
const int wideStatusX = 625;
const int alertRaise = 5;
// Free space kept between the status text and the tabs or the port label.
const int statusGap = 8;

void setStyleSheetOnce(QWidget* widget, const QString& styleSheet)
{
    if (widget->styleSheet() != styleSheet)
        widget->setStyleSheet(styleSheet);
}

} // namespace

// A screen that draws the fonts larger without scaling the pixels (a higher
// DPI at a device pixel ratio of 1) would cut their text off at the form's
// fixed pixel sizes: those grow with the fonts.
void MainWindow::scaleFixedSizesForScreen()
{
    ScreenFit::keepFontSizes(this);
    ScreenFit::scaleFixedSizes(this, ScreenFit::factor());
}

void MainWindow::emitResizeEvent()
{
    resizeEvent(nullptr);
}

// The tab bar's base line is switched off through its property, as the
// sheet "QTabBar {qproperty-drawBase:0; };" on the tab widget would. That
// sheet would cost a second style pass over the whole window, and below a
// widget with a sheet of its own, every widget that the application sheet
// gives a font family takes the platform's default size, not its page's.
void MainWindow::styleControlsAboveTabs()
{
    setStyleSheetOnce(logoLabel, QStringLiteral("QLabel { background-color : white }"));
    ui->tabWidget->tabBar()->setDrawBase(false);
}

void MainWindow::resizeEvent(QResizeEvent* e)
{
    if (e)
        QMainWindow::resizeEvent(e);
    styleControlsAboveTabs();

    const int right = ui->tabWidget->mapTo(this, QPoint(ui->tabWidget->width() - 1, 0)).x();
    const int y0 = menuBar()->geometry().bottom() + 1;
    // As wide as its longest port name.
    portBox->resize(portBox->sizeHint());
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

    // Beside the tabs where the window leaves it room for its longest text
    // there, else on a row of its own above them (more tabs and larger
    // fonts take the room). It shows as much as the room up to the port
    // label holds, the whole text as its tooltip.
    const int tabsRight = ui->tabWidget->tabBar()->mapTo(this, QPoint(tabsWidth(), 0)).x();
    const int wideX = qMax(wideStatusX, tabsRight + statusGap);
    const bool besideTabs = ui->centralWidget->width() >= narrowWindowWidth
        && portLabel->x() - statusGap - wideX >= statusLabel->wholeTextWidth();
    const int statusX = besideTabs ? wideX : narrowStatusX;
    statusLabel->resize(qMax(0, portLabel->x() - statusGap - statusX), statusLabel->height());
    statusLabel->move(statusX, y0 + boxHeight / 4);
    ui->verticalSpacer_aboveTabs->changeSize(0, besideTabs ? 0 : boxHeight + 1,
                                             QSizePolicy::Minimum, QSizePolicy::Fixed);
    ui->centralWidget->layout()->invalidate();
}

// A dialog whose wrapped texts need more height than it was made with (at
// larger fonts) grows to show them whole.
void MainWindow::fitDialogHeight(QWidget* dialog)
{
    ScreenFit::fitToScreen(dialog);
}

// The width the tabs take, whether or not the tab bar is laid out yet.
int MainWindow::tabsWidth() const
{
    const QTabBar* bar = ui->tabWidget->tabBar();
    int width = 0;
    for (int i = 0; i < bar->count(); ++i)
        width += bar->tabRect(i).width();
    return width;
}

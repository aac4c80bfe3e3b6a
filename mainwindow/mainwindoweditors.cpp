// The editor windows the main window opens: the custom parameter editor,
// the unsaved-parameter report, the About and Help windows, and the help
// bubbles of the window's own rows.

#include "mainwindow.h"

#include "aboutprogramwindow.h"
#include "customparameteredit.h"
#include "draggabletooltipmanager.h"
#include "helpwindow.h"
#include "kelvaracom.h"
#include "listunsavedparams.h"
#include "ui_mainwindow.h"

void MainWindow::createEditorWindows()
{
    tooltipManager = new DraggableTooltipManager(this);
    // Freed with the window; bubbles it still lists may have gone already.
    tooltipManager->setParent(this);

    customEdit = new CustomParameterEdit(model, this);
    connect(customEdit, &CustomParameterEdit::write, com, &KelvaraCom::writeAll);
    connect(customEdit, &CustomParameterEdit::read, com, &KelvaraCom::readAll);
    connect(customEdit, &QDialog::finished, this, &MainWindow::cpel_closed);
}

// The custom editor reads and writes while it is open: the Dashboard's
// live polling stops first, as if another page were chosen.
void MainWindow::launchCustomParameterEdit()
{
    tooltipManager->clearAll();
    tabChanged(dashboardIndex() - 1);
    customEdit->show();
}

void MainWindow::cpel_closed()
{
    if (isDashboardShown())
        tabChanged(ui->tabWidget->currentIndex());
}

void MainWindow::on_list_unsaved_clicked()
{
    ListUnsavedParams report(model, nullptr);
    report.exec();
}

void MainWindow::showAboutProgramWindow()
{
    (new AboutProgramWindow(this))->show();
}

void MainWindow::showHelpWindow()
{
    (new HelpWindow(this))->show();
}

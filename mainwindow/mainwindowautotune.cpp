// The autotune wizard, opened from the Autotune button and menu action.

#include "mainwindow.h"

#include "autotunewizard.h"

// Modal; the wizard deletes itself when it closes.
void MainWindow::launchAutotune()
{
    auto* wizard = new AutotuneWizard(model, com, this);
    wizard->exec();
}

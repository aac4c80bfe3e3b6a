// The autotune wizard, opened from the Autotune button and menu action.

#include "mainwindow.h"

#include "autotunewizard.h"

// Modal; the wizard deletes itself when it closes. What its pages say stays
// marked is kept, or named by the next Read, as the window's own boxes.
void MainWindow::launchAutotune()
{
    auto* wizard = new AutotuneWizard(model, com, this);
    connect(wizard, &AutotuneWizard::toldStayMarked, this, [this](const QList<int>& addresses) {
        controllerRead.noteToldKept(ControllerIdentity::of(model), addresses);
    });
    wizard->exec();
}

// The default parameter files: the defaults dialog and the pedal-assist
// device drop-down of the PAS page.

#include "mainwindow.h"

#include "defaultimporter.h"
#include "kelvara.h"
#include "kelvaracom.h"
#include "pasdeviceloader.h"
#include "ui_mainwindow.h"

#include <QComboBox>

void MainWindow::launchDefaultChecker()
{
    DefaultImporter dialog(this, xml, pasDeviceLoader);
    dialog.exec();
}

// A blank first item that imports nothing, then one item per downloaded
// device file; choosing one imports its defaults.
void MainWindow::initializePasDeviceList()
{
    ui->pedal_assist_type->insertItem(0, QStringLiteral(" "));
    pasDeviceLoader = new PasDeviceLoader(this, ui->pedal_assist_type, xml);
    // Connected before the PAS page sets the drop-down back to the blank
    // entry on the same signals: what was saved, read or restored stays.
    connect(com, &KelvaraCom::readAllComplete, pasDeviceLoader, &PasDeviceLoader::forgetPick);
    connect(com, &KelvaraCom::flashSaveComplete, pasDeviceLoader, &PasDeviceLoader::forgetPick);
    connect(model, &Kelvara::resetPasDeviceDropdown, pasDeviceLoader, &PasDeviceLoader::forgetPick);
}

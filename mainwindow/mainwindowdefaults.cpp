// The default parameter files: the defaults dialog and the pedal-assist
// device drop-down of the PAS page.

#include "mainwindow.h"

#include "defaultimporter.h"
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
}

#include "firmwaredownloaderdialog.h"

#include "screenfit.h"
#include "ui_firmwaredownloaderdialog.h"

FirmwareDownloaderDialog::FirmwareDownloaderDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui_FirmwareDownloaderDialog)
{
    ui->setupUi(this);
    ScreenFit::scaleDialog(this);
}

FirmwareDownloaderDialog::~FirmwareDownloaderDialog()
{
    delete ui;
}

void FirmwareDownloaderDialog::addWidget(QWidget* widget)
{
    ui->verticalLayout->addWidget(widget);
}

void FirmwareDownloaderDialog::settext(QString text)
{
    ui->label->setText(text);
}

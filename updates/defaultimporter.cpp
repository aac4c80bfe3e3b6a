#include "defaultimporter.h"

#include "boxquote.h"
#include "screenfit.h"
#include "defaultstore.h"
#include "dropdownwidths.h"
#include "firmwaredownloader.h"
#include "pasdeviceloader.h"
#include "ui_defaultimporter.h"
#include "xmltranslator.h"

#include <QDir>

namespace {

const char* const manufacturerPlaceholder = "<Select Manufacturer>";
const char* const modelPlaceholder = "<Select Model>";
const char* const controllerPlaceholder = "<Select Controller>";
const char* const pasPlaceholder = "<Select PAS Device>";
const char* const controllerFolder = "Controller";
const char* const pasFolder = "PAS";

// A drop-down's text names a file unless it is empty or its placeholder.
bool isChosen(const QString& text, const char* placeholder)
{
    return !text.isEmpty() && !text.contains(QLatin1String(placeholder));
}

QStringList placeholderAnd(const char* placeholder, const QStringList& entries = {})
{
    return QStringList(QString::fromLatin1(placeholder)) + entries;
}

// Each name shows with its control and direction characters blanked; the
// item keeps it as the store has it.
void fill(QComboBox* box, const QStringList& items)
{
    box->clear();
    for (const QString& item : items)
        box->addItem(BoxQuote::plain(item), item);
}

// The store's name of the item chosen.
QString chosenName(const QComboBox* box)
{
    return box->currentData().toString();
}

} // namespace

DefaultImporter::DefaultImporter(QWidget* parent, XMLTranslator* translator,
                                 PasDeviceLoader* pasLoader)
    : QDialog(parent)
    , ui(new Ui_DefaultImporter)
    , xmlTranslator(translator)
    , pasDeviceLoader(pasLoader)
{
    ui->setupUi(this);
    dataDir = DefaultStore::root();
    firmwareDownloader = new FirmwareDownloader(this, false);

    connect(ui->cancelButton, &QPushButton::clicked, this, &QWidget::close);
    if (pasDeviceLoader)
        connect(this, &DefaultImporter::dataDownloaded, pasDeviceLoader,
                &PasDeviceLoader::refreshPasDeviceList);
    // One download at a time: the button comes back when a crawl ends.
    for (auto end : {&FirmwareDownloader::updateSuccess, &FirmwareDownloader::updateFail})
        connect(firmwareDownloader, end, ui->downloadButton,
                [this] { ui->downloadButton->setEnabled(true); });

    if (QDir(dataDir).exists())
        getManufacturers();
    else
        initializeDropDowns();
    ScreenFit::scaleDialog(this);
    fitDropDowns();
}

DefaultImporter::~DefaultImporter()
{
    delete ui;
    delete firmwareDownloader;
}

// Each drop-down as wide as its longest name, Manufacturer and Model
// sharing their row, within the screen; they follow their lists.
void DefaultImporter::fitDropDowns()
{
    auto* widths = new DropDownWidths(this);
    widths->addRow({ui->manufacturerBox, ui->modelBox});
    widths->addRow({ui->controllerBox});
    widths->addRow({ui->pasBox});
    widths->fit();
    ScreenFit::fitToScreen(this);
}

void DefaultImporter::initializeDropDowns()
{
    manufacturerList = placeholderAnd(manufacturerPlaceholder);
    modelList = placeholderAnd(modelPlaceholder);
    controllerList = placeholderAnd(controllerPlaceholder);
    pasDeviceList = placeholderAnd(pasPlaceholder);
    fill(ui->manufacturerBox, manufacturerList);
    fill(ui->modelBox, modelList);
    fill(ui->controllerBox, controllerList);
    fill(ui->pasBox, pasDeviceList);
    ui->applyButton->setEnabled(false);
}

// Every entry of the store's root but "Controller" and "PAS" is a maker.
void DefaultImporter::getManufacturers()
{
    QDir().mkpath(dataDir);
    manufacturerList = placeholderAnd(manufacturerPlaceholder, DefaultStore::entries(dataDir));
    manufacturerList.removeOne(QLatin1String(pasFolder));
    pasDeviceList = placeholderAnd(
        pasPlaceholder,
        DefaultStore::entries(DefaultStore::path(dataDir, {QLatin1String(pasFolder)})));
    fill(ui->pasBox, pasDeviceList);
    manufacturerList.removeOne(QLatin1String(controllerFolder));
    controllerList = placeholderAnd(
        controllerPlaceholder,
        DefaultStore::entries(DefaultStore::path(dataDir, {QLatin1String(controllerFolder)})));
    fill(ui->controllerBox, controllerList);
    fill(ui->manufacturerBox, manufacturerList);
    getModels(manufacturerList.first());
}

void DefaultImporter::getModels(const QString& manufacturer)
{
    QStringList models;
    if (isChosen(manufacturer, manufacturerPlaceholder))
        models = DefaultStore::entries(DefaultStore::path(dataDir, {manufacturer}));
    modelList = placeholderAnd(modelPlaceholder, models);
    fill(ui->modelBox, modelList);
    updateApplyButton();
}

void DefaultImporter::on_manufacturerBox_currentIndexChanged(QString)
{
    getModels(chosenName(ui->manufacturerBox));
}

void DefaultImporter::on_modelBox_currentIndexChanged(QString)
{
    updateApplyButton();
}

void DefaultImporter::on_controllerBox_currentIndexChanged(QString)
{
    updateApplyButton();
}

void DefaultImporter::on_pasBox_currentIndexChanged(QString)
{
    updateApplyButton();
}

bool DefaultImporter::isModelChosen() const
{
    return isChosen(chosenName(ui->manufacturerBox), manufacturerPlaceholder)
        && isChosen(chosenName(ui->modelBox), modelPlaceholder);
}

bool DefaultImporter::isControllerChosen() const
{
    return isChosen(chosenName(ui->controllerBox), controllerPlaceholder);
}

bool DefaultImporter::isPasDeviceChosen() const
{
    return isChosen(chosenName(ui->pasBox), pasPlaceholder);
}

void DefaultImporter::updateApplyButton()
{
    ui->applyButton->setEnabled(isModelChosen() || isControllerChosen() || isPasDeviceChosen());
}

// Motor, then controller, then PAS device: a register in two files keeps
// the later file's value, and the user learns which of the files' values
// their limits did not let stand.
void DefaultImporter::on_applyButton_clicked()
{
    QStringList files;
    if (isModelChosen())
        files << DefaultStore::path(dataDir,
                                    {chosenName(ui->manufacturerBox), chosenName(ui->modelBox)});
    if (isControllerChosen())
        files << DefaultStore::path(
            dataDir, {QLatin1String(controllerFolder), chosenName(ui->controllerBox)});
    if (isPasDeviceChosen())
        files << DefaultStore::path(dataDir, {QLatin1String(pasFolder), chosenName(ui->pasBox)});
    xmlTranslator->importFiles(files);
    close();
}

void DefaultImporter::on_downloadButton_clicked()
{
    ui->downloadButton->setEnabled(false);
    connect(firmwareDownloader, &FirmwareDownloader::updateSuccess, this,
            &DefaultImporter::reloadBrands, Qt::UniqueConnection);
    firmwareDownloader->getFirmware();
}

void DefaultImporter::reloadBrands()
{
    disconnect(firmwareDownloader, &FirmwareDownloader::updateSuccess, this,
               &DefaultImporter::reloadBrands);
    const QString manufacturer = chosenName(ui->manufacturerBox);
    getManufacturers();
    // The maker chosen before, when it is still there; else the placeholder.
    ui->manufacturerBox->setCurrentIndex(qMax(0, ui->manufacturerBox->findData(manufacturer)));
    emit dataDownloaded();
}

#include "pasdeviceloader.h"

#include "defaultstore.h"
#include "xmltranslator.h"

#include <QComboBox>
#include <QDir>

PasDeviceLoader::PasDeviceLoader(QObject* parent, QComboBox* comboBox, XMLTranslator* translator)
    : QObject(parent)
    , pasDir(DefaultStore::path(DefaultStore::root(), {QStringLiteral("PAS")}))
    , translator(translator)
    , comboBox(comboBox)
{
    connect(comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &PasDeviceLoader::on_PAS_Device_Changed);
    refreshPasDeviceList();
}

PasDeviceLoader::~PasDeviceLoader() = default;

void PasDeviceLoader::refreshPasDeviceList()
{
    if (!comboBox || !QDir(pasDir).exists())
        return;
    deviceFiles = DefaultStore::entries(pasDir);
    if (deviceFiles.isEmpty())
        return;
    // Clearing and the blank item leave the choice on the blank: a refill
    // imports nothing.
    comboBox->clear();
    comboBox->insertItem(0, QStringLiteral(" "));
    for (const QString& name : qAsConst(deviceFiles))
        addDeviceToDropdown(name);
}

void PasDeviceLoader::addDeviceToDropdown(QString fileName)
{
    QString text = fileName;
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    text.remove(QStringLiteral(".xml"), Qt::CaseInsensitive);
    comboBox->addItem(text, fileName);
}

void PasDeviceLoader::on_PAS_Device_Changed(int index)
{
    if (index < 1 || !comboBox)
        return;
    const QString name = comboBox->itemData(index).toString();
    if (!name.isEmpty())
        translator->importFromXML(pasDir + QDir::separator() + name);
}

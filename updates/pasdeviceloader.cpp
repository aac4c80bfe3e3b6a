#include "pasdeviceloader.h"

#include "boxquote.h"
#include "defaultstore.h"
#include "kelvara.h"
#include "parameter.h"
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
    QString text = BoxQuote::plain(fileName);
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    text.remove(QStringLiteral(".xml"), Qt::CaseInsensitive);
    comboBox->addItem(text, fileName);
}

void PasDeviceLoader::on_PAS_Device_Changed(int index)
{
    if (!comboBox)
        return;
    putBackPick();
    if (index < 1)
        return;
    const QString name = comboBox->itemData(index).toString();
    if (name.isEmpty())
        return;
    const QMap<int, int> before = registerValues();
    translator->importFromXML(pasDir + QDir::separator() + name);
    const QMap<int, int> after = registerValues();
    for (auto it = after.constBegin(); it != after.constEnd(); ++it) {
        if (it.value() != before.value(it.key())) {
            pickedValues.insert(it.key(), it.value());
            valuesBeforePick.insert(it.key(), before.value(it.key()));
        }
    }
}

void PasDeviceLoader::forgetPick()
{
    pickedValues.clear();
    valuesBeforePick.clear();
}

// A register changed since the pick (by an edit, a read or a restore)
// holds someone else's value, which stays.
void PasDeviceLoader::putBackPick()
{
    if (pickedValues.isEmpty())
        return;
    Kelvara* model = translator->device();
    const QMap<int, int> saved = model->getSavedValues();
    for (auto it = pickedValues.constBegin(); it != pickedValues.constEnd(); ++it) {
        if (model->getParameter(it.key())->getRegisterValue() != it.value())
            continue;
        const int before = valuesBeforePick.value(it.key());
        model->setEditToControllerValue(it.key(),
                                        model->isValid() ? saved.value(it.key(), before) : before);
    }
    forgetPick();
}

// Those a file can set; the live status may change during an import's box.
QMap<int, int> PasDeviceLoader::registerValues() const
{
    QMap<int, int> values;
    const QMap<int, Parameter*> parameters = translator->device()->getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        if (it.value()->isWriteable())
            values.insert(it.key(), it.value()->getRegisterValue());
    }
    return values;
}

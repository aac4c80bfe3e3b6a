#ifndef PASDEVICELOADER_H
#define PASDEVICELOADER_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QComboBox;
class XMLTranslator;

// Keeps a drop-down of pedal-assist devices in step with the folder "PAS"
// of the default-file store, and imports the default file of the device
// the user picks. Item 0 is a blank that imports nothing; each file of the
// folder follows, shown with blanks for "_" and without ".xml".
class PasDeviceLoader : public QObject
{
    Q_OBJECT

public:
    // Neither the drop-down nor the translator is owned.
    PasDeviceLoader(QObject* parent, QComboBox* comboBox, XMLTranslator* translator);
    ~PasDeviceLoader() override;

    void addDeviceToDropdown(QString fileName);

public slots:
    // Lists the folder again; a missing or empty folder leaves the items.
    void refreshPasDeviceList();
    void on_PAS_Device_Changed(int index);

private:
    QString pasDir;
    XMLTranslator* translator;
    QPointer<QComboBox> comboBox;
    QStringList deviceFiles;
};

#endif // PASDEVICELOADER_H

#ifndef PASDEVICELOADER_H
#define PASDEVICELOADER_H

#include <QMap>
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
//
// One device at a time: a new pick first puts back what the controller
// holds in every register the earlier pick changed and that still holds
// the pick's value, and so does the blank. Save then writes only the
// device shown.
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
    // The pick's values were saved, read over or restored: a later pick
    // leaves them alone.
    void forgetPick();

private:
    void putBackPick();
    QMap<int, int> registerValues() const;

    QString pasDir;
    XMLTranslator* translator;
    QPointer<QComboBox> comboBox;
    QStringList deviceFiles;
    // Registers the current pick changed: the value it left, and the one
    // before it (put back where no controller has been read).
    QMap<int, int> pickedValues;
    QMap<int, int> valuesBeforePick;
};

#endif // PASDEVICELOADER_H

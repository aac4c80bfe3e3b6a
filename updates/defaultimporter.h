#ifndef DEFAULTIMPORTER_H
#define DEFAULTIMPORTER_H

#include <QDialog>
#include <QString>
#include <QStringList>

class FirmwareDownloader;
class PasDeviceLoader;
class XMLTranslator;
class Ui_DefaultImporter;

// The "Download Defaults" dialog: choose a motor (maker and model), a
// controller and a pedal-assist device from the default-file store and
// apply their files to the device model as parameter-file imports, or
// fetch the latest files from the maker's server first. Nothing is written
// to the controller here; the imports show as unsaved changes.
class DefaultImporter : public QDialog
{
    Q_OBJECT

public:
    // Neither the translator nor the loader is owned; the loader's list is
    // refreshed after every download.
    DefaultImporter(QWidget* parent, XMLTranslator* translator, PasDeviceLoader* pasLoader);
    ~DefaultImporter() override;

    void initializeDropDowns();
    void getManufacturers();
    void getModels(const QString& manufacturer);

signals:
    void dataDownloaded();

public slots:
    void on_manufacturerBox_currentIndexChanged(QString arg1);
    void on_applyButton_clicked();
    void on_downloadButton_clicked();
    void reloadBrands();
    void on_modelBox_currentIndexChanged(QString arg1);
    void on_controllerBox_currentIndexChanged(QString arg1);
    void on_pasBox_currentIndexChanged(QString arg1);

private:
    void fitDropDowns();
    void updateApplyButton();
    bool isModelChosen() const;
    bool isControllerChosen() const;
    bool isPasDeviceChosen() const;

    Ui_DefaultImporter* ui;
    QString dataDir;
    QStringList manufacturerList;
    QStringList modelList;
    QStringList controllerList;
    FirmwareDownloader* firmwareDownloader;
    XMLTranslator* xmlTranslator;
    PasDeviceLoader* pasDeviceLoader;
    QStringList pasDeviceList;
};

#endif // DEFAULTIMPORTER_H

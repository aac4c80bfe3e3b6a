#ifndef KELVARA_H
#define KELVARA_H

#include "controlleridentity.h"
#include "controllertype.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

class Parameter;
class ParameterDefinition;
class ParameterLibrary;

// The model of the one connected controller: every register's Parameter,
// the placeholder for addresses without one, the controller type, and the
// snapshots that tell what differs from the controller.
//
// From the first successful read-all on (isValid()), every value change is
// compared, by display value, with the saved one and reported through
// parameterIsOriginal(address, bit, original); a register whose controller
// value is not in flash stays unsaved (setHeldOutsideFlash()).
class Kelvara : public QObject
{
    Q_OBJECT

public:
    // The definition paths can be replaced, e.g. by test fixtures.
    explicit Kelvara(QObject* parent = nullptr,
                     const QString& definitionPath = QStringLiteral(":/BOD.json"),
                     const QString& definitionV6Path = QStringLiteral(":/BOD_v6.json"));
    ~Kelvara() override;

    // Never null: an address without a usable parameter gives the
    // placeholder "invalid" (not writeable, display value -1.0).
    Parameter* getParameter(int address) const;
    QMap<int, Parameter*> getAllParameters() const { return activeParameters; }
    // Display name -> (address, bit) for the parameter picker.
    QMap<QString, QPair<int, int>> getAllNames() const;

    QMap<int, int> getUnsavedValues() const { return unsavedValues; }
    QMap<int, int> getSavedValues() const { return savedValues; }
    QMap<int, int> getFlashRecoveryValues() const { return flashRecoveryValues; }

    bool isValid() const { return valid; }
    void setValid(bool isValidNow);

    // A register was just read from or written to the controller.
    void setMatchesSaved(int address);
    // A register as a read found it in the controller: the parameter takes
    // raw, which becomes its saved value. An unsaved edit that held another
    // value is lost, and unsavedValueReplaced() says so.
    void setReadValue(int address, int raw);
    // The controller holds raw as the saved value after all (a write that
    // no flash save followed); the register's unsaved mark follows.
    void setSavedValue(int address, int raw);
    // The controller holds the register's saved value in RAM only, while
    // its flash holds flashRaw: the register stays unsaved, also when set
    // back to the saved value, until the controller holds flashRaw again or
    // saves to flash (flashSaved()). A register already outside flash
    // keeps the flash value it had.
    void setHeldOutsideFlash(int address, int flashRaw);

    // Set while the model takes the controller's own values: by the link
    // while it stores the registers of a reply, and while the first read is
    // restored. Widgets that follow registers then only show the values:
    // clamping, gap keeping and other write-backs are for the user's own
    // edits, so the model keeps exactly what the controller sent.
    bool isApplyingRead() const { return applyingRead; }
    void setApplyingRead(bool applying) { applyingRead = applying; }
    // The register takes raw back as the controller's own value, as a read
    // stores it: widgets that follow it only show it.
    void putBackControllerValue(int address, int raw);

    bool areFirstReadValuesSaved() const { return !firstReadValues.isEmpty(); }
    // Also notes whose values they are: the controller's identity.
    void saveFirstReadValues();
    // The controller the snapshot was read from is gone: the next one takes
    // a snapshot of its own.
    void clearFirstReadValues();

    void setFlashRecoveryValues();
    void resetUnsavedValues();
    void setUnsavedToFlashRecovery();

    void setType(int idOrFirmware);
    ControllerType getControllerType() const { return currentType; }
    bool isHWIDValid(int id) const;
    bool needsTemperatureTab() const { return currentType.needsTemperatureTab; }
    bool firmwareBarrierCrossed(int firmware, int otherFirmware) const;

signals:
    void parameterIsOriginal(int addr, int bit, bool original);
    void validated(bool valid);
    // A read brought the controller's value over an edit that was not saved.
    void unsavedValueReplaced(int addr);
    // A read showed another controller than the one the first-read values
    // belong to: they are gone, and Restore has nothing to bring back until
    // the next complete read.
    void firstReadValuesDropped();
    void resetTempSensorDropdown();
    void resetPasDeviceDropdown();
    void controllerTypeChanged();

public slots:
    // The controller saved everything it holds to flash.
    void flashSaved();
    void restoreFirstReadValues();
    void restoreLevel3FirstReadValues();
    void parameterChanged(int addr);

private:
    static QMap<int, Parameter*> buildParameters(ParameterLibrary* library);
    void emitBitMarks(int address, int value, int savedRaw);
    void settleFlashValue(int address);
    void markUnsaved(int address);
    void dropFirstReadValuesOfAnotherController();
    void dropFlashValuesOfAnotherController();
    void forgetFlashValues();
    bool isRestorable(const Parameter* parameter) const;

    ParameterLibrary* bodLibrary;
    ParameterLibrary* bodV6Library;
    QMap<int, Parameter*> activeParameters;
    QMap<int, Parameter*> bodParameters;
    QMap<int, Parameter*> bodV6Parameters;
    ParameterDefinition* invalidDefinition;
    Parameter* invalidParameter;
    QList<ControllerType> controllerTypes;
    QMap<int, int> savedValues;
    QMap<int, int> unsavedValues;
    QMap<int, int> flashRecoveryValues;
    QMap<int, int> firstReadValues;
    // address -> raw value in flash, of registers whose controller value is
    // not in its flash
    QMap<int, int> flashValues;
    // whose controller values flashValues tells of
    ControllerIdentity flashValuesIdentity;
    // Unsaved only because a read moved the limits of a register it reads
    // later: no edit of the user's.
    QSet<int> marksOfRead;
    bool storingReadValue = false;
    ControllerIdentity firstReadIdentity;
    bool valid = false;
    bool applyingRead = false;
    ControllerType currentType;
};

#endif // KELVARA_H

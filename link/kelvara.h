#ifndef KELVARA_H
#define KELVARA_H

#include "controlleridentity.h"
#include "controllertype.h"
#include "keptmarks.h"
#include "movedvalues.h"
#include "valueorders.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

#include <optional>

class Parameter;
class ParameterDefinition;
class ParameterLibrary;

// The model of the one connected controller: every register's Parameter,
// the placeholder for addresses without one, the controller type, and the
// snapshots that tell what differs from the controller.
//
// From the first successful read-all on (isValid()), every value change is
// compared with the saved one and reported through
// parameterIsOriginal(address, bit, original); a register whose controller
// value is not in flash stays unsaved (setControllerFlashValue()). What the
// registers that depend on others hold is worked out from the controller's
// values and the values the user gave (MovedValues).
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
    QMap<int, int> getSavedValues() const { return controllerRamValues; }
    QMap<int, int> getFlashRecoveryValues() const { return flashRecoveryValues; }

    bool isValid() const { return valid; }
    void setValid(bool isValidNow);

    // Three values per register: the user's edit (what the parameter holds
    // and the pages show), the controller's RAM (getSavedValues()) and,
    // where they differ, the controller's flash. Each setter below is named
    // for the one it sets.

    // The controller's RAM now holds the register's edit: it was just read
    // or written.
    void setControllerRamToEdit(int address);
    // A read found raw in the controller's RAM: the edit takes it too. An
    // unsaved edit that held another value is lost, and
    // unsavedValueReplaced() says so; one that held raw is the controller's
    // own now (unsavedValueMatched()). A value kept marked for the controller
    // that it no longer holds is told by keptValueReplaced().
    void setControllerRamFromRead(int address, int raw);
    // The controller's RAM holds raw after all (a write that no flash save
    // followed); the register's unsaved mark follows.
    void setControllerRamValue(int address, int raw);
    // The controller's flash holds flashRaw, its RAM the register's saved
    // value: the register stays unsaved, also when its edit is set back to
    // the RAM value, until the controller's RAM holds flashRaw again or it
    // saves to flash (setControllerFlashToRam()). A register already
    // outside flash keeps the flash value it had.
    //
    // These belong to the controller they were noted for: while the model
    // shows another one (its identity registers were read), they are put
    // aside, and they come back with that controller's identity.
    void setControllerFlashValue(int address, int flashRaw);
    // The registers whose value in the controller's RAM is not in its flash.
    QList<int> heldOutsideFlash() const { return controllerFlashValues.keys(); }
    // What the controller's flash holds of the register, as far as known.
    int controllerFlashValue(int address) const
    {
        return controllerFlashValues.value(address, controllerRamValues.value(address, 0));
    }
    // A write of raw reached the controller, or may have: its RAM is taken
    // to hold raw, its flash flashRaw, so the register stays unsaved until
    // a read finds flashRaw in its RAM or it saves to flash.
    void setControllerWrittenValue(int address, int raw, int flashRaw);

    // Set while the model takes the controller's own values: by the link
    // while it stores the registers of a reply, and while the first read is
    // restored. Widgets that follow registers then only show the values:
    // clamping, gap keeping and other write-backs are for the user's own
    // edits, so the model keeps exactly what the controller sent.
    // A recomputation then keeps the raw values as they are.
    bool isTakingControllerValues() const { return takingControllerValues; }
    void setTakingControllerValues(bool taking);
    // The register's edit takes raw back as the controller's own value, as
    // a read stores it: widgets that follow it only show it. A value the
    // user gave it is gone; raw, where it is not what the controller's RAM
    // holds (its flash value), stands as given.
    void setEditToControllerValue(int address, int raw);

    // What a write of the register sends: the edit where it differs from
    // the controller's RAM, otherwise the very raw value the RAM holds, so
    // that a register the user did not change goes back as it was (never a
    // value put on the display grid or limited).
    int rawToWrite(int address) const;
    // What the controller's RAM holds of the register, as far as known.
    int controllerValue(int address) const;

    // A file (an import, a default file, a device file) gives the register
    // raw, as it stands there: held at the limits now in force, and told
    // with the values the suite moved (valuesMoved()) where they move it.
    // fileDigits: the file's whole number, where it was beyond an int.
    void setFileValue(int address, int raw, const QString& fileDigits = QString());
    // An import gave a register whose value is not worked out from others
    // fileRaw, which did not stand (a limit moved it): told with the values
    // the suite moved.
    void noteLimitedFileValue(int address, int fileRaw, const QString& fileDigits = QString());
    // The user drags a node or thumb to value: the register's own value,
    // also where another register's store is under way (a node that sets
    // two registers).
    void setDraggedValue(int address, double value);
    // While held, the values moved are told once, as the action under way
    // ends (an Apply of several files).
    void holdMovedValuesReport(bool held);

    // An order a widget keeps among the display values of these registers,
    // and the widget's rule that settles them once one of them was set.
    void keepOrder(const QVector<int>& addresses, const ValueOrders::Shortfall& shortfall,
                   const ValueOrders::Settle& settle);
    const ValueOrders& orders() const { return valueOrders; }
    // The model works out the page's values itself, from the controller's
    // and the user's (MovedValues), from the first complete read on: the
    // orders are settled there, and widgets only follow their registers.
    // Before, a widget's rule acts on each edit at once.
    bool settlesOrders() const { return valid; }
    // The raw values of the registers the register's formulas refer to:
    // the controller's, or those the page holds.
    QVector<int> referredValues(int address, bool controllers) const;
    QVector<int> referredAddresses(int address) const;
    // How the controller holds the register's value: with which values of
    // the registers its formulas refer to (as it was read, or as the page
    // held them as it was written), and whether their limits let it stand.
    struct HeldMeaning
    {
        QVector<int> references;
        bool withinLimits = true;
    };
    HeldMeaning controllerMeaning(int address) const;

    bool areFirstReadValuesSaved() const { return !firstReadValues.isEmpty(); }
    // Also notes whose values they are: the controller's identity.
    void saveFirstReadValues();
    // The controller the snapshot was read from is gone: the next one takes
    // a snapshot of its own.
    void clearFirstReadValues();

    // Before a write: the unsaved values, and what the controller held of
    // them, its flash as far as known.
    void setFlashRecoveryValues();
    void resetUnsavedValues();
    // The write was not saved to flash: its values are unsaved again, and
    // those that reached the controller stay unsaved, also over a read,
    // until a save to flash (setControllerFlashToRam()).
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
    // A read found an unsaved edit's value in the controller: it is no
    // longer unsaved. Of another controller than the edit was made for, the
    // edit is gone as surely as a replaced one.
    void unsavedValueMatched(int addr);
    // A read found another value than the one the register was kept marked
    // for, outside the controller's flash: the controller does not hold it
    // (the write never reached it, or it was switched off since).
    void keptValueReplaced(int addr);
    // A read showed another controller than the one the first-read values
    // belong to: they are gone, and Restore has nothing to bring back until
    // the next complete read.
    void firstReadValuesDropped();
    // Values the suite moved by itself in the action just over (a limit,
    // a scale or an order a change of another value set): they stay
    // unsaved and Save writes them, unless that change is set back first.
    // A value given that a rule holds back is told as entered.
    void valuesMoved(const QList<MovedValue>& moves);
    void resetTempSensorDropdown();
    void resetPasDeviceDropdown();
    void controllerTypeChanged();

public slots:
    // The controller saved everything its RAM holds to flash: the values
    // the page shows as it holds them are its own, no longer the user's.
    void setControllerFlashToRam();
    // Each register as the first read found it, given to it where the
    // controller holds another value now.
    void restoreFirstReadValues();
    void restoreLevel3FirstReadValues();
    // The register's value changed: its unsaved mark follows.
    void parameterChanged(int addr);
    // The same where the value changed, or its mark is to change.
    void refreshMark(int address, bool changed);

private:
    static QMap<int, Parameter*> buildParameters(ParameterLibrary* library);
    void tellRefusedValue(int address, double value);
    void takeGivenValue(int address, double value);
    void deriveIfDue();
    void takeHeldValue(int address, int raw);
    void giveHeldValue(int address, int raw, const QVector<int>& context);
    void takeReadValue(int address);
    void noteControllerMeaning(int address, bool controllers);
    void forgetGivenValuesHeld();
    void putBackFirstReadValue(Parameter* parameter);
    void emitBitMarks(int address, int value, int savedRaw);
    void noteControllerRamValue(int address, int raw);
    void noteControllerFlashValue(int address, int flashRaw);
    void settleControllerFlashValue(int address);
    void settleReadControllerFlashValues();
    bool differsFromController(int address) const;
    void markUnsaved(int address);
    void dropFirstReadValuesOfAnotherController();
    void followControllerFlashValues();
    void forgetControllerFlashValues();
    void takeBackControllerFlashValues(const ControllerIdentity& identity);
    std::optional<int> shownKeptValue(int address, int edit) const;
    bool isRestorable(const Parameter* parameter) const;
    void restoreFirstReadValue(Parameter* parameter);

    ParameterLibrary* bodLibrary;
    ParameterLibrary* bodV6Library;
    QMap<int, Parameter*> activeParameters;
    QMap<int, Parameter*> bodParameters;
    QMap<int, Parameter*> bodV6Parameters;
    ParameterDefinition* invalidDefinition;
    Parameter* invalidParameter;
    QList<ControllerType> controllerTypes;
    QMap<int, int> controllerRamValues;
    QMap<int, int> unsavedValues;
    QMap<int, int> flashRecoveryValues;
    // address -> the controller's value when flashRecoveryValues was taken
    QMap<int, int> flashRecoveryRamValues;
    QMap<int, int> firstReadValues;
    // address -> raw value in the controller's flash, of registers whose
    // RAM value is not in its flash
    QMap<int, int> controllerFlashValues;
    // whose controller values controllerFlashValues tells of
    ControllerIdentity controllerFlashIdentity;
    // The same of other controllers, put aside while another is shown,
    // with what their RAM was taken to hold of those registers.
    KeptMarks keptMarks;
    ControllerIdentity firstReadIdentity;
    bool valid = false;
    bool takingControllerValues = false;
    ControllerType currentType;
    MovedValues* movedValues = nullptr;
    ValueOrders valueOrders;
    // address -> how the controller holds its value (controllerMeaning()).
    QHash<int, HeldMeaning> controllerMeanings;
    // The register a drag is setting; -1 when none.
    int draggedAddress = -1;
};

#endif // KELVARA_H

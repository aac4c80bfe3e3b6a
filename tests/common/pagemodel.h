#ifndef PAGEMODEL_H
#define PAGEMODEL_H

// The device model with the battery-voltage slider and the throttle graph
// bound to it as the window binds them, before a controller held as register
// values: read, typed, dragged, given by files and saved as the link and the
// window do it, so that many sequences take little time (a page of
// PageProperty). A save returns what the link would send; the boxes the
// model asked for are kept with what was unsaved as each was told.

#include "controllersimulator.h"
#include "graphbinding.h"
#include "kelvara.h"
#include "movedvalues.h"
#include "parameter.h"
#include "throttlegraph.h"
#include "voltagecutoffslider.h"
#include "xmltranslator.h"

#include <QCoreApplication>

#include <cmath>

struct PageModel
{
    struct Box
    {
        QList<MovedValue> moves;
        QMap<int, int> unsaved;
    };

    PageModel()
    {
        // The window binds the slider before the initial values arrive, the
        // graphs after.
        slider.initialize(&model);
        XMLTranslator(&model).importFromXML(QStringLiteral(":/InitialValues.xml"));
        throttle.initialize(&model);
        keepBoxes(&model, &boxes);
    }
    // Each box the model asks for, with what was unsaved as it was told.
    static void keepBoxes(Kelvara* model, QList<Box>* boxes)
    {
        QObject::connect(model, &Kelvara::valuesMoved, model,
                         [model, boxes](const QList<MovedValue>& moves) {
                             *boxes << Box{moves, model->getUnsavedValues()};
                         });
    }

    // The controller holds these values (address -> raw), and a read of all
    // brings them, as the link stores a read-all.
    void read(const QMap<int, int>& values)
    {
        controller = values;
        model.setTakingControllerValues(true);
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            if (it.key() <= 510 && model.getParameter(it.key())->getAddress() == it.key())
                model.setControllerRamFromRead(it.key(), it.value());
        }
        model.setTakingControllerValues(false);
        model.setValid(true);
        settle();
    }
    QMap<int, int> controllerValues() const { return controller; }
    Kelvara& device() { return model; }

    // A value set gives it, also one the register shows already.
    bool type(int address, double value)
    {
        model.getParameter(address)->setValue(value);
        settle();
        return true;
    }
    void typeOnce(int address, double value) { type(address, value); }
    // A node or thumb dragged through the values and released: it gives
    // the last.
    bool drag(int address, const QList<double>& through, double* given)
    {
        GraphBinding::holdMoveReport(&model, true);
        for (double value : through)
            GraphBinding::writeOwn(&model, address, value);
        GraphBinding::holdMoveReport(&model, false);
        settle();
        *given = model.getParameter(address)->roundValue(through.constLast());
        return true;
    }
    // A file of these entries, applied as an import applies them.
    void openFile(const QMap<int, int>& entries)
    {
        for (int pass = 0; pass < 2; ++pass) {
            for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
                model.setFileValue(it.key(), it.value());
        }
        settle();
    }

    // What Save writes; the controller then holds it, and saves it to flash.
    QMap<int, int> save()
    {
        settle();
        QMap<int, int> written;
        const QList<int> unsaved = model.getUnsavedValues().keys();
        for (int address : unsaved) {
            if (model.getParameter(address)->isWriteable())
                written.insert(address, model.rawToWrite(address));
        }
        if (written.isEmpty())
            return written;
        model.setFlashRecoveryValues();
        for (auto it = written.constBegin(); it != written.constEnd(); ++it) {
            controller.insert(it.key(), it.value());
            model.setControllerRamToEdit(it.key());
        }
        model.setControllerFlashToRam();
        settle();
        return written;
    }

    // The register shows the display value as the other, rounded.
    static bool showsAs(const Parameter* parameter, double shown, double value)
    {
        return std::fabs(shown - parameter->roundValue(value))
            < 0.5 * std::pow(10.0, -parameter->numDecimals());
    }
    // The moves of the action just over are told.
    static void settle() { QCoreApplication::processEvents(); }

    static QMap<int, int> sampleController()
    {
        ControllerSimulator image;
        image.loadImage(QStringLiteral(KELVARA_SIM_IMAGES "/controller.xml"));
        QMap<int, int> values;
        const QVector<quint16> raws = image.registerValues(0, 511);
        for (int address = 0; address < raws.size(); ++address)
            values.insert(address, raws.at(address));
        return values;
    }

    Kelvara model;
    VoltageCutoffSlider slider{nullptr};
    ThrottleGraph throttle{nullptr};
    QMap<int, int> controller;
    QList<Box> boxes;
};

#endif // PAGEMODEL_H

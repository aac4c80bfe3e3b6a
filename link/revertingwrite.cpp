#include "revertingwrite.h"

#include "kelvara.h"
#include "kelvaracom.h"
#include "parameter.h"

void RevertingWrite::start(KelvaraCom* link, Kelvara* model, int address)
{
    new RevertingWrite(link, model, address);
    link->oneWrite(address, 1);
}

RevertingWrite::RevertingWrite(KelvaraCom* link, Kelvara* model, int address)
    : QObject(link)
    , link(link)
    , model(model)
    , address(address)
{
    connect(link, &KelvaraCom::comSuccess, this, &RevertingWrite::takeSuccess);
    connect(link, &KelvaraCom::comError, this, &RevertingWrite::takeFailure);
}

// An answered write makes the value the controller's; a batch that ended
// before the write went out says nothing yet.
void RevertingWrite::takeSuccess()
{
    if (!unwritten())
        deleteLater();
}

// A failure after the controller took the write (its save to flash) leaves
// the value to the flash-save handling.
void RevertingWrite::takeFailure()
{
    if (link->unansweredWrites().contains(address))
        model->setEditToControllerValue(address, model->controllerFlashValue(address));
    else if (unwritten())
        model->setEditToControllerValue(address, model->getSavedValues().value(address));
    deleteLater();
}

bool RevertingWrite::unwritten() const
{
    return model->getParameter(address)->getRegisterValue()
        != model->getSavedValues().value(address);
}

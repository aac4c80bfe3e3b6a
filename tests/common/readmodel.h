#ifndef READMODEL_H
#define READMODEL_H

#include "kelvara.h"
#include "xmltranslator.h"

#include <memory>

// A device model over the embedded definitions holding the embedded initial
// values as if just read from a controller: every value counts as saved and
// each later change is tracked as unsaved.
inline std::unique_ptr<Kelvara> readModel()
{
    auto model = std::make_unique<Kelvara>();
    XMLTranslator(model.get()).importFromXML(QStringLiteral(":/InitialValues.xml"));
    const auto addresses = model->getAllParameters().keys();
    for (int address : addresses)
        model->setControllerRamToEdit(address);
    model->setValid(true);
    return model;
}

#endif // READMODEL_H

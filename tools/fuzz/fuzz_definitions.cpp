// Definition files: reading one, building the device model from it (with
// every formula it holds) and using each register the way the suite does:
// conversions both ways, enum and bit access, the notes of a parameter
// file, the name list of the picker, identification and the snapshots.
#include "bitvector.h"
#include "controlleridentification.h"
#include "enumparameter.h"
#include "fuzzsupport.h"
#include "kelvara.h"
#include "parameter.h"
#include "parameternotes.h"

namespace {

void exercise(Parameter* parameter)
{
    parameter->setRegisterValue(-1);
    parameter->setRegisterValue(0x4D2);
    parameter->setValue(parameter->getValue() + 1.0);
    parameterNotes(parameter);
    if (parameter->getType() == ParameterDefinition::TypeEnum) {
        auto* enumParameter = static_cast<EnumParameter*>(parameter);
        enumParameter->listedValues();
        enumParameter->takesValue(96);
        enumParameter->setValue(96);
        enumParameter->setRegisterValue(12);
    } else if (parameter->getType() == ParameterDefinition::TypeBitVector) {
        auto* bits = static_cast<BitVector*>(parameter);
        for (const int bit : {0, 6, 15, 16, -1}) {
            bits->toggleBit(bit);
            bits->getBit(bit);
        }
        bits->isValid();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzSupport::TimeBudget budget(2000);
    static const QString definitionPath =
        FuzzSupport::scratchPath(QStringLiteral("definitions.json"));
    FuzzSupport::writeFile(definitionPath, FuzzSupport::bytes(data, size));

    // The second set is read beside the first and never made active.
    Kelvara model(nullptr, definitionPath, QStringLiteral(":/fuzz/missing.json"));
    const QMap<int, Parameter*> parameters = model.getAllParameters();
    for (Parameter* parameter : parameters)
        exercise(parameter);
    model.getParameter(-1)->setValue(1.0);
    model.getAllNames();
    model.setValid(true);
    model.saveFirstReadValues();
    identifyControllerType(&model);
    for (Parameter* parameter : parameters)
        parameter->setRegisterValue(7);
    model.restoreFirstReadValues();
    model.restoreLevel3FirstReadValues();
    return 0;
}

// Formula texts: parsing, evaluation, the conversions of a parameter that
// uses the formula, and the recomputation of the registers it refers to
// (also when it refers back to its own register).
#include "formula.h"
#include "formulaparser.h"
#include "fuzzsupport.h"
#include "kelvara.h"
#include "parameter.h"

#include <limits>
#include <memory>

namespace {

// Longer texts are only parsed and evaluated: a change of a register sets
// off one recomputation per reference to it, each evaluating the whole
// formula, which is quadratic in the size of the formula by design.
const int longestWiredText = 512;
const QString definitions = QStringLiteral(":/fuzz/model.json");

// Raw values at the edges of both register widths, and display values
// that no register can hold.
const int raws[] = {0, 1, -1, 4096, 32767, -32768, 65535};
const double displays[] = {0.0,
                           2.5,
                           -2.5,
                           1e9,
                           -1e9,
                           std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()};
// Each change of a register sets off every register that follows it.
const int changedRaws[] = {0, -32768, 65535};
const double changedDisplays[] = {2.5, 1e9};

void useFormula(Formula* formula)
{
    formula->evaluate();
    for (const int raw : raws)
        formula->toDisplay(raw);
    for (const double display : displays)
        formula->toMemory(display);
}

void exercise(Parameter* parameter)
{
    for (const int raw : changedRaws) {
        parameter->setRegisterValue(raw);
        parameter->getValue();
    }
    for (const double display : changedDisplays)
        parameter->setValue(display);
    double limit;
    parameter->minimumValue(&limit);
    parameter->maximumValue(&limit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FuzzSupport::TimeBudget budget(2000);
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));

    Kelvara model(nullptr, definitions, definitions);
    FormulaParser parser(model.getAllParameters());
    std::unique_ptr<Formula> formula;
    {
        // Parsing is about linear in the text, apart from nesting.
        const FuzzSupport::TimeBudget parseBudget(600);
        formula.reset(parser.parseFormula(text));
    }
    if (!formula)
        return 0;
    useFormula(formula.get());
    if (text.size() > longestWiredText)
        return 0;

    // In the places a definition would put it: the scale of a register that
    // others refer to, and the limit of one that refers to others.
    Parameter* rpm = model.getParameter(70);
    Parameter* current = model.getParameter(71);
    rpm->setScaleFormula(parser.parseFormula(text));
    current->setMaxFormula(parser.parseFormula(text));
    current->setOffsetFormula(parser.parseFormula(text));
    const QMap<int, Parameter*> parameters = model.getAllParameters();
    for (Parameter* parameter : parameters)
        exercise(parameter);
    return 0;
}

#include "formulanodevar.h"

#include "parameter.h"

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

FormulaNodeVar::FormulaNodeVar(Parameter* parameter)
    : m_parameter(parameter)
{
}

namespace {

// The evaluation under way (GUI thread only). A formula reaches few
// registers, so plain lists searched from the end beat hashing, and they
// keep their storage from one evaluation to the next.
std::vector<std::pair<const Parameter*, double>> knownValues;
std::vector<const Parameter*> valuesUnderWay;
// Of the innermost HeldValues; none outside of one.
const QMap<int, int>* heldRaws = nullptr;

bool isUnderWay(const Parameter* parameter)
{
    return std::find(valuesUnderWay.rbegin(), valuesUnderWay.rend(), parameter)
        != valuesUnderWay.rend();
}

// What the register stands for in a formula now.
double referenceOf(const Parameter* parameter)
{
    if (heldRaws) {
        const auto held = heldRaws->constFind(parameter->getAddress());
        if (held != heldRaws->constEnd())
            return parameter->unlimitedValue(*held);
    }
    return parameter->referenceValue();
}

} // namespace

int FormulaNodeVar::Evaluation::depth = 0;

FormulaNodeVar::HeldValues::HeldValues(const QMap<int, int>& raws)
    : outer(heldRaws)
{
    heldRaws = &raws;
}

FormulaNodeVar::HeldValues::~HeldValues()
{
    heldRaws = outer;
}

void FormulaNodeVar::Evaluation::forget()
{
    knownValues.clear();
    valuesUnderWay.clear();
}

double FormulaNodeVar::evaluate()
{
    const Parameter* parameter = m_parameter.data();
    if (!parameter || isUnderWay(parameter))
        return std::numeric_limits<double>::quiet_NaN();
    const Evaluation evaluation;
    for (auto known = knownValues.rbegin(); known != knownValues.rend(); ++known) {
        if (known->first == parameter)
            return known->second;
    }
    valuesUnderWay.push_back(parameter);
    const double value = referenceOf(parameter);
    valuesUnderWay.pop_back();
    knownValues.emplace_back(parameter, value);
    return value;
}

void FormulaNodeVar::attachParameterChangedSignals()
{
    if (m_parameter)
        connect(m_parameter.data(), &Parameter::displayChanged, this,
                &FormulaNode::formulaParameterChanged);
}

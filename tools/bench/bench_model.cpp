// Timings of the device model: building every parameter and formula from a
// definition file, and one register change that other registers' formulas
// refer to.
//
//   kelvara-bench-model [benchmark options] [definitions.json [definitions_v6.json]]
//
// The definition files default to the embedded ":/BOD.json" and
// ":/BOD_v6.json"; a single path is used for both sets.

#include "formulaparser.h"
#include "kelvara.h"
#include "parameter.h"
#include "parameterdefinition.h"
#include "parameterlibrary.h"

#include <QFile>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QString definitionPath = QStringLiteral(":/BOD.json");
QString definitionV6Path = QStringLiteral(":/BOD_v6.json");

void buildModel(benchmark::State& state)
{
    for (auto _ : state) {
        auto* model = new Kelvara(nullptr, definitionPath, definitionV6Path);
        benchmark::DoNotOptimize(model->getParameter(0));
        state.PauseTiming();
        delete model;
        state.ResumeTiming();
    }
}

// One definition set as the model builds it: library, parameters, formulas.
void buildParameterSet(benchmark::State& state)
{
    for (auto _ : state) {
        ParameterLibrary library(definitionPath);
        QMap<int, Parameter*> parameters;
        const auto definitions = library.getAllDefinitions();
        for (ParameterDefinition* definition : definitions)
            parameters.insert(definition->getAddress(), new Parameter(definition));
        benchmark::DoNotOptimize(FormulaParser(parameters).parseAllFormulas());
        state.PauseTiming();
        qDeleteAll(parameters);
        state.ResumeTiming();
    }
    state.counters["registers"] = ParameterLibrary(definitionPath).getAllDefinitions().size();
}

// Register 71 ("Max Phase Current") of the definition file changes; every
// register whose formulas refer to it is recomputed and change-tracked.
void changeMaxPhaseCurrent(benchmark::State& state)
{
    Kelvara model(nullptr, definitionPath, definitionV6Path);
    Parameter* phase = model.getParameter(71);
    if (!phase->isWriteable()) {
        state.SkipWithError("register 71 is not defined or not writeable");
        return;
    }
    model.setValid(true);
    const double low = phase->getValue();
    const double high = low + 1.0;
    bool up = false;
    for (auto _ : state) {
        phase->setValue(up ? high : low);
        up = !up;
    }
}

// A synthetic set of `registers` registers of which `dependants` refer to
// register 1 in their scale: the cost of a change of register 1 must follow
// the dependants, not the registers.
QByteArray syntheticSet(int registers, int dependants)
{
    QByteArray json = "{";
    for (int address = 0; address < registers; ++address) {
        const bool dependant = address >= 2 && address < 2 + dependants;
        json += (address ? ",\n\"" : "\n\"") + QByteArray::number(address)
            + "\": {\"name\": \"Register " + QByteArray::number(address)
            + "\", \"read\": true, \"write\": true, \"saved\": true, \"scale\": \""
            + (dependant ? "40.96 * 100 / p[1]" : "1") + "\", \"decimals\": 0, \"min\": \"0\"}";
    }
    return json + "\n}";
}

void changeWithDependants(benchmark::State& state)
{
    const int registers = static_cast<int>(state.range(0));
    const int dependants = static_cast<int>(state.range(1));
    QTemporaryFile file;
    file.open();
    file.write(syntheticSet(registers, dependants));
    file.flush();

    Kelvara model(nullptr, file.fileName(), file.fileName());
    Parameter* referenced = model.getParameter(1);
    referenced->setValue(60);
    for (int address = 2; address < 2 + dependants; ++address)
        model.getParameter(address)->setRegisterValue(1000);
    model.setValid(true);

    bool up = false;
    for (auto _ : state) {
        referenced->setValue(up ? 61 : 60);
        up = !up;
    }
    state.counters["registers"] = registers;
    state.counters["dependants"] = dependants;
}

} // namespace

BENCHMARK(buildModel)->Unit(benchmark::kMillisecond);
BENCHMARK(buildParameterSet)->Unit(benchmark::kMillisecond);
BENCHMARK(changeMaxPhaseCurrent)->Unit(benchmark::kMicrosecond);
BENCHMARK(changeWithDependants)
    ->ArgsProduct({{100, 1000, 4000}, {1, 10, 100}})
    ->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc > 1)
        definitionPath = definitionV6Path = QString::fromLocal8Bit(argv[1]);
    if (argc > 2)
        definitionV6Path = QString::fromLocal8Bit(argv[2]);
    for (const QString& path : {definitionPath, definitionV6Path}) {
        if (!QFile::exists(path)) {
            std::fprintf(stderr, "Definition file %s not found.\n", qPrintable(path));
            return 1;
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

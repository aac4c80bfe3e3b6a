// kelvara-defgen: produces the embedded definition files, the initial values
// and the simulator's controller image from the annotated register list.

#include "definitionfilewriter.h"
#include "registersource.h"
#include "registervalues.h"
#include "valuefilewriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace {

bool writeFile(const QString& path, const QByteArray& content, QTextStream& err)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.commit()) {
        err << path << ": " << file.errorString() << '\n';
        return false;
    }
    return true;
}

void report(const QStringList& lines, QTextStream& err)
{
    for (const QString& line : lines)
        err << line << '\n';
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvara-defgen"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes BOD.json, BOD_v6.json and InitialValues.xml into the resources folder and the "
        "simulator's controller image, all from one annotated register list."));
    parser.addHelpOption();
    const QCommandLineOption checkOption(
        QStringLiteral("check"), QStringLiteral("Only check the register list; write nothing."));
    parser.addOption(checkOption);
    parser.addPositionalArgument(QStringLiteral("registers"),
                                 QStringLiteral("The annotated register list (registers.json)."));
    parser.addPositionalArgument(
        QStringLiteral("resources"),
        QStringLiteral("Folder for BOD.json, BOD_v6.json and InitialValues.xml."));
    parser.addPositionalArgument(QStringLiteral("image"),
                                 QStringLiteral("Path of the simulator's controller image."));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != (parser.isSet(checkOption) ? 1 : 3)) {
        err << parser.helpText();
        return 2;
    }

    RegisterSource source;
    if (!source.load(arguments.at(0))) {
        report(source.errors(), err);
        return 1;
    }
    RegisterValues initial(source.entries(), RegisterValues::ValueSet::Initial);
    RegisterValues simulator(source.entries(), RegisterValues::ValueSet::Simulator);
    const bool initialOk = initial.compute();
    const bool simulatorOk = simulator.compute();
    if (!initialOk || !simulatorOk) {
        report(initial.errors() + simulator.errors(), err);
        return 1;
    }

    out << source.entries().size() << " registers, " << initial.rawValues().size()
        << " initial values, " << simulator.rawValues().size() << " simulator values\n";
    if (parser.isSet(checkOption))
        return 0;

    const QByteArray definitions = DefinitionFileWriter::toJson(source.entries());
    const QDir resources(arguments.at(1));
    // The second set carries the same definitions until the two differ.
    const bool written = writeFile(resources.filePath(QStringLiteral("BOD.json")), definitions, err)
        && writeFile(resources.filePath(QStringLiteral("BOD_v6.json")), definitions, err)
        && writeFile(resources.filePath(QStringLiteral("InitialValues.xml")),
                     ValueFileWriter::toXml(initial.rawValues()), err)
        && writeFile(arguments.at(2), ValueFileWriter::toXml(simulator.rawValues()), err);
    return written ? 0 : 2;
}

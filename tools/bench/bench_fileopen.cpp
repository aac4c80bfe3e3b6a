// kelvara-bench-fileopen [rounds]
//
// Times File > Open in the suite's real window, built as the program builds
// it and connected to kelvara-sim in a process of its own: from the file
// dialog's Open until the window has taken the file and painted it, or has
// shown the box that tells why not. The files: 1,000, 100,000 and 1,000,000
// entries of the registers a user's import changes (each with the value the
// register holds), one entry whose element carries 100,000 attributes, and
// the download limit's 8 MB filled with entries that carry as many
// attributes as a start tag may, or with entries for an address the suite
// has no register for (the box lists each) or with one comment, and a
// 300 MB file that is no parameter file (comma-separated values). Each is opened in turn with a
// one-entry file, the baseline, `rounds` times (5).
//
// Printed: per file its size, the median time, the baseline's and their
// ratio, the median rise of the peak resident memory over the open, and
// the box it ended with. The goals: at most a second for every file up to
// the download limit and for the file that is no parameter file, whatever
// its size, whose peak rises at most 8 MB more than the baseline's (exit
// status 1 above).

#include "benchwindow.h"
#include "kelvara.h"
#include "mainwindow.h"
#include "makerserver.h"
#include "parameter.h"
#include "parameterconstants.h"
#include "simulatorprocess.h"
#include "starttagbound.h"
#include "xmltranslator.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

namespace {

const double goalMs = 1000.0;
const double goalMegabytes = 8.0;
const qint64 notParameterFileBytes = qint64(300) * 1024 * 1024;
const int benchTimeLimitSeconds = 3600;

struct Entry
{
    int address;
    int value;
};

// The registers a user's import changes, each with the value it holds: a
// file of them applies without a box.
QVector<Entry> importableEntries(const Kelvara& model)
{
    QVector<Entry> entries;
    const QMap<int, Parameter*> parameters = model.getAllParameters();
    for (auto it = parameters.constBegin(); it != parameters.constEnd(); ++it) {
        const Parameter* parameter = it.value();
        if (!parameter->isWriteable() || parameter->getLevel() == 3
            || parameter->getType() == ParameterDefinition::TypeEnum
            || XMLTranslator::neverImportedAddresses.contains(it.key())
            || commandParameterAddresses.contains(it.key()))
            continue;
        entries.append({it.key(), parameter->getRegisterValue()});
    }
    return entries;
}

QByteArray entryElement(const Entry& entry, const QByteArray& attributes = QByteArray())
{
    return "  <SerializableParameter" + attributes + ">\n    <Address>"
        + QByteArray::number(entry.address) + "</Address>\n    <Value>"
        + QByteArray::number(entry.value) + "</Value>\n  </SerializableParameter>\n";
}

bool writeDocument(const QString& path, int count,
                   const std::function<QByteArray(int index)>& element)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ArrayOfSerializableParameter>\n");
    for (int i = 0; i < count; ++i)
        file.write(element(i));
    file.write("</ArrayOfSerializableParameter>\n");
    return file.error() == QFileDevice::NoError;
}

// Address and value pairs, one a line, up to the size given.
bool writeCommaSeparated(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("Address,Value\n");
    const QByteArray block = QByteArray("7,300\n").repeated(1024 * 1024 / 6);
    while (file.size() + block.size() <= bytes)
        file.write(block);
    return file.error() == QFileDevice::NoError;
}

// Peak resident memory from now on: the kernel's record of it starts again.
void restartPeakMemory()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// "VmHWM" (the peak) or "VmRSS" (now), in MB; -1 where not known.
double residentMegabytes(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1.0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1.0;
}

QByteArray attributes(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += " a" + QByteArray::number(i) + "=\"\"";
    return text;
}

struct File
{
    File(const QString& name, const QString& path)
        : name(name)
        , path(path)
    {
    }

    QString name;
    QString path;
    qint64 bytes = 0;
    bool parameterFile = true;
    QVector<double> ms;
    QVector<double> peakRise; // MB
    QString box;
};

// Answers the file dialog with the file and notes the first box that shows
// after it, closing it once painted; any other dialog is closed as it opens.
class OpenWatch : public QObject
{
public:
    QString path;
    QElapsedTimer clock;
    double boxMs = -1.0;
    QString box;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            auto* message = qobject_cast<QMessageBox*>(watched);
            if (message && boxMs < 0) {
                boxMs = clock.nsecsElapsed() / 1e6;
                box = message->windowTitle() + ": " + message->text().section('\n', 0, 0);
                QTimer::singleShot(0, message, [message] { message->reject(); });
            }
        } else if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<QFileDialog*>(watched)) {
                QTimer::singleShot(0, dialog, [this, dialog] {
                    dialog->selectFile(path);
                    clock.start();
                    static_cast<QDialog*>(dialog)->accept();
                });
            } else if (auto* dialog = qobject_cast<QDialog*>(watched)) {
                // A box is closed once painted, or after a while without a paint.
                const int closeAfterMs = qobject_cast<QMessageBox*>(dialog) ? 5000 : 0;
                QTimer::singleShot(closeAfterMs, dialog, [dialog] { dialog->reject(); });
            }
        }
        return false;
    }
};

// Milliseconds from the dialog's Open to the window painted or a box shown.
double openThroughMenu(QAction* open, File& file)
{
    OpenWatch watch;
    watch.path = file.path;
    qApp->installEventFilter(&watch);
    QCoreApplication::processEvents();
    const double residentBefore = residentMegabytes("VmRSS");
    restartPeakMemory();
    open->trigger();
    // What the import left to paint is painted now.
    QCoreApplication::sendPostedEvents();
    const double ms = watch.boxMs >= 0 ? watch.boxMs : watch.clock.nsecsElapsed() / 1e6;
    file.peakRise << residentMegabytes("VmHWM") - residentBefore;
    qApp->removeEventFilter(&watch);
    file.box = watch.box.isEmpty() ? QStringLiteral("none") : watch.box;
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    const QString shownOn = prepareBenchApplication();
    QApplication app(argc, argv);
    bool counted = true;
    const int rounds = argc > 1 ? QString(argv[1]).toInt(&counted) : 5;
    if (argc > 2 || !counted || rounds < 1) {
        std::fprintf(stderr, "usage: kelvara-bench-fileopen [rounds, at least 1]\n");
        return 2;
    }
    guardBench(benchTimeLimitSeconds, false);

    ScratchWindow bench;
    if (!bench.start())
        return 1;
    const MainWindow* window = bench.window.get();
    QTemporaryDir& scratch = bench.scratch;
    auto* open = window->findChild<QAction*>("importXML");

    const QVector<Entry> entries = importableEntries(*window->deviceModel());
    const auto cycling = [&entries](int i) { return entryElement(entries.at(i % entries.size())); };
    const QByteArray bounded = attributes(StartTagBound::maxAttributes);
    const int boundedEntry = entryElement(entries.first(), bounded).size();
    const Entry unknown{9999, 1};
    const int unknownEntry = entryElement(unknown).size();
    QList<File> files;
    struct Made
    {
        QString name;
        int count;
        std::function<QByteArray(int)> element;
    };
    const QList<Made> made = {
        {"1,000 entries", 1000, cycling},
        {"100,000 entries", 100000, cycling},
        {"1,000,000 entries", 1000000, cycling},
        {"an element with 100,000 attributes", 1,
         [&entries](int) { return entryElement(entries.first(), attributes(100000)); }},
        {QString("8 MB of entries with %1 attributes").arg(StartTagBound::maxAttributes),
         int(MakerServer::maxReplyBytes / boundedEntry) - 1,
         [&](int i) { return entryElement(entries.at(i % entries.size()), bounded); }},
        {"8 MB of entries for no register", int(MakerServer::maxReplyBytes / unknownEntry) - 1,
         [&](int) { return entryElement(unknown); }},
        {"8 MB of one comment", 1,
         [&entries](int) {
             return entryElement(entries.first()) + "<!--"
                 + QByteArray("notes\n").repeated(int(MakerServer::maxReplyBytes / 6) - 20)
                 + "-->\n";
         }},
    };
    File baseline("one entry", scratch.filePath("one.xml"));
    if (!writeDocument(baseline.path, 1, cycling))
        return 1;
    for (int i = 0; i < made.size(); ++i) {
        File file(made[i].name, scratch.filePath(QString("file%1.xml").arg(i)));
        if (!writeDocument(file.path, made[i].count, made[i].element))
            return 1;
        file.bytes = QFileInfo(file.path).size();
        files << file;
    }
    File commaSeparated("300 MB of comma-separated values", scratch.filePath("values.csv"));
    if (!writeCommaSeparated(commaSeparated.path, notParameterFileBytes))
        return 1;
    commaSeparated.bytes = QFileInfo(commaSeparated.path).size();
    commaSeparated.parameterFile = false;
    files << commaSeparated;

    for (int round = 0; round < rounds; ++round) {
        for (File& file : files) {
            baseline.ms << openThroughMenu(open, baseline);
            file.ms << openThroughMenu(open, file);
        }
    }

    QTextStream out(stdout);
    const double baselineMs = median(baseline.ms);
    const double baselineRise = median(baseline.peakRise);
    out << "File > Open in the connected window (" << shownOn << "), median of " << rounds
        << ", each in turn with a one-entry file (" << QString::number(baselineMs, 'f', 1)
        << " ms, peak memory up " << QString::number(baselineRise, 'f', 1) << " MB)\n";
    bool met = true;
    for (const File& file : qAsConst(files)) {
        const double ms = median(file.ms);
        const double rise = median(file.peakRise);
        out << QString("%1 (%2 MB): %3 ms, ratio %4; peak memory up %5 MB; box: %6\n")
                   .arg(file.name, -40)
                   .arg(file.bytes / (1024.0 * 1024.0), 0, 'f', 1)
                   .arg(ms, 0, 'f', 1)
                   .arg(ms / baselineMs, 0, 'f', 1)
                   .arg(rise, 0, 'f', 1)
                   .arg(file.box);
        if (file.bytes <= MakerServer::maxReplyBytes || !file.parameterFile)
            met = met && ms <= goalMs;
        if (!file.parameterFile)
            met = met && rise <= baselineRise + goalMegabytes;
    }
    out << (met ? "goals met" : "a goal missed")
        << ": a second for every file up to the download limit and for the one that is no "
           "parameter file, whose peak memory rises at most "
        << goalMegabytes << " MB more than the one-entry file's\n";
    return met ? 0 : 1;
}

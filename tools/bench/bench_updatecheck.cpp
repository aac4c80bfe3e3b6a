// The memory an update check takes when the version file never ends, against
// a check of a normal version file:
//
//   kelvara-bench-updatecheck [--rounds N]
//
// A loopback web server serves a version file and one that never ends (its
// body sent over and over, as fast as it is taken). In turn, N times (5),
// this program runs itself as a second process that makes one check of
// either with the suite's Updater and reports its peak resident memory and
// what it holds once the check has ended.
//
// Printed: the median peaks and their difference (goal: at most 16 MB; exit
// status 1 above), what the checks held afterwards, and for the endless file
// the median time the check took and the bytes the server got rid of.

#include "loopbackhttpserver.h"
#include "simulatorprocess.h"
#include "updater.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const double goalMegabytes = 16.0;

const QByteArray versionFile =
    R"({"updates": {"osx": {"latest-version": "1.8.0", "open-url": "https://maker.test/"}}})";

// Resident memory now, in KiB.
long residentKib()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = status.readAll().split(' ');
    return pages.value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// One check in this process; prints the peak and then the resident memory
// in KiB and the time in ms.
int checkOnce(const QString& url)
{
    Updater updater;
    updater.setUrl(url);
    updater.setModuleVersion(QStringLiteral("1.8.0"));
    updater.setNotifyOnUpdate(false);
    updater.setNotifyOnFinish(false);
    QObject::connect(&updater, &Updater::checkingFinished, qApp, &QCoreApplication::quit);
    QElapsedTimer clock;
    clock.start();
    updater.checkForUpdates();
    QCoreApplication::exec();
    const qint64 elapsed = clock.elapsed();
    // What the reply left behind has gone by now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld %ld %lld\n", usage.ru_maxrss, residentKib(), static_cast<long long>(elapsed));
    return 0;
}

struct Checks
{
    QVector<double> peakMegabytes;
    QVector<double> afterMegabytes;
    QVector<double> milliseconds;
    QVector<double> megabytesSent;
};

bool runCheck(const QString& url, LoopbackHttpServer& server, Checks* checks)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 sentBefore = server.bytesSent();
    // The server answers from this event loop.
    QEventLoop loop;
    QObject::connect(&check, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QObject::connect(&check, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    check.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--check"), url});
    loop.exec();
    const QList<QByteArray> fields = check.readAllStandardOutput().trimmed().split(' ');
    if (check.exitCode() != 0 || fields.size() != 3) {
        std::fprintf(stderr, "the check of %s did not report\n", qPrintable(url));
        return false;
    }
    checks->peakMegabytes << fields.at(0).toDouble() / 1024;
    checks->afterMegabytes << fields.at(1).toDouble() / 1024;
    checks->milliseconds << fields.at(2).toDouble();
    checks->megabytesSent << (server.bytesSent() - sentBefore) / (1024.0 * 1024.0);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // Nothing is shown; the checks inherit it.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"rounds", "Checks of each file.", "n", "5"});
    parser.addOption({"check", "Make one check of the version file at url (internal).", "url"});
    parser.process(app);
    if (parser.isSet("check"))
        return checkOnce(parser.value("check"));
    bool ok = false;
    const int rounds = parser.value("rounds").toInt(&ok);
    if (!ok || rounds < 1) {
        std::fprintf(stderr, "--rounds takes a whole number\n");
        return 2;
    }

    LoopbackHttpServer server;
    server.serve("/normal.json", versionFile);
    LoopbackHttpServer::Response endless;
    endless.body = QByteArray(65536, ' ');
    endless.endless = true;
    server.serve("/endless.json", endless);

    Checks normal;
    Checks endlessChecks;
    for (int round = 0; round < rounds; ++round) {
        if (!runCheck(server.url() + "/normal.json", server, &normal)
            || !runCheck(server.url() + "/endless.json", server, &endlessChecks))
            return 1;
    }

    const double normalPeak = median(normal.peakMegabytes);
    const double endlessPeak = median(endlessChecks.peakMegabytes);
    const double difference = endlessPeak - normalPeak;
    std::printf("update check, median of %d in turn: peak memory %.1f MB with a version file, "
                "%.1f MB with one that never ends: %+.1f MB (goal at most %.0f)\n",
                rounds, normalPeak, endlessPeak, difference, goalMegabytes);
    std::printf("held once the check had ended: %.1f MB and %.1f MB\n",
                median(normal.afterMegabytes), median(endlessChecks.afterMegabytes));
    std::printf("the endless check ended after %.0f ms, the server having sent %.1f MB (the "
                "size limit is %.1f MB)\n",
                median(endlessChecks.milliseconds), median(endlessChecks.megabytesSent),
                Updater::MAX_VERSION_FILE_BYTES / (1024.0 * 1024.0));
    return difference <= goalMegabytes ? 0 : 1;
}

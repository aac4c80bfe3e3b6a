// kelvara-updateshot [--xcb [--dpi N]] OUTPUT.png
//
// Shows the update download window fetching a sample file from a loopback
// web server that sends it slowly, and saves a picture of the window part
// way through, for checking it by eye: offscreen, or with --xcb on a
// 1920 x 1080 Xvfb of its own at N dots per inch.

#include "downloader.h"
#include "loopbackhttpserver.h"
#include "screenfit.h"
#include "virtualdisplay.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QFontDatabase>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

int main(int argc, char* argv[])
{
    QTextStream err(stderr);
    QStringList args;
    bool xcb = false;
    int dpi = 96;
    if (!VirtualDisplay::takeOptions(argc, argv, &args, &xcb, &dpi) || args.size() != 1
        || args.at(0).startsWith('-')) {
        err << "usage: kelvara-updateshot [--xcb [--dpi N]] OUTPUT.png\n"
               "Saves a picture of the update download window part way through a download.\n";
        return 2;
    }
    VirtualDisplay display(dpi);
    if (!display.startOrOffscreen(xcb)) {
        err << "kelvara-updateshot: " << display.errorString() << "\n";
        return 1;
    }
    ScreenFit::enableDesktopScaling();
    QApplication app(argc, argv);
    const QString output = QFileInfo(args.at(0)).absoluteFilePath();
    const int font = QFontDatabase::addApplicationFont(":/fonts/LiberationSans-Regular.ttf");
    app.setFont(QFont(QFontDatabase::applicationFontFamilies(font).value(0), 10));

    // 3,800,000 bytes at 500 KB a second.
    LoopbackHttpServer server;
    LoopbackHttpServer::Response file;
    file.body = QByteArray(3800000, 'k');
    file.dripBytes = 50000;
    file.dripMs = 100;
    server.serve("/Kelvara_Suite_1.8.1.dmg", file);

    QTemporaryDir downloads;
    Downloader window;
    window.setDownloadDir(downloads.path());
    window.setFileName("Kelvara_Suite_1.8.1.dmg");
    window.setUseCustomInstallProcedures(true);
    window.startDownload(QUrl(server.url() + "/Kelvara_Suite_1.8.1.dmg"));

    QEventLoop loop;
    QTimer::singleShot(2500, &loop, &QEventLoop::quit);
    loop.exec();
    if (!window.isVisible() || !window.grab().save(output)) {
        err << "kelvara-updateshot: cannot write " << output << "\n";
        return 1;
    }
    QTextStream(stdout) << output << "\n";
    return 0;
}

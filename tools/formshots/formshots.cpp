// kelvara-formshots [--xcb [--dpi N]] OUTDIR: builds the main window's form
// without a display (or with --xcb on an Xvfb of its own at N dots per inch)
// and saves one picture per tab page, for checking the pages by eye.

#include "ui_mainwindow.h"
#include "screenfit.h"
#include "virtualdisplay.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QMainWindow>
#include <QTabWidget>
#include <QTextStream>

namespace {

void registerFonts()
{
    const QStringList fonts = {"LiberationSans-Regular", "LiberationSans-Bold",
                               "LiberationMono-Regular", "LiberationMono-Bold"};
    for (const QString& font : fonts)
        QFontDatabase::addApplicationFont(":/fonts/" + font + ".ttf");
}

} // namespace

int main(int argc, char* argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args;
    bool xcb = false;
    int dpi = 96;
    if (!VirtualDisplay::takeOptions(argc, argv, &args, &xcb, &dpi) || args.size() != 1
        || args.at(0).startsWith('-')) {
        err << "usage: kelvara-formshots [--xcb [--dpi N]] OUTDIR\n"
               "Saves one PNG picture of the main window per tab page into OUTDIR.\n";
        return 2;
    }

    VirtualDisplay display(dpi);
    if (!display.startOrOffscreen(xcb)) {
        err << "kelvara-formshots: " << display.errorString() << "\n";
        return 1;
    }
    ScreenFit::enableDesktopScaling();
    QApplication app(argc, argv);

    QDir outDir(args.at(0));
    if (!outDir.mkpath(".")) {
        err << "kelvara-formshots: cannot create folder " << outDir.path() << "\n";
        return 1;
    }

    registerFonts();
    QMainWindow window;
    Ui_MainWindow ui;
    ui.setupUi(&window);
    window.show();

    int failures = 0;
    for (int index = 0; index < ui.tabWidget->count(); ++index) {
        ui.tabWidget->setCurrentIndex(index);
        QCoreApplication::processEvents();
        const QString name =
            QString("%1-%2.png").arg(index).arg(ui.tabWidget->widget(index)->objectName());
        const QString path = outDir.filePath(name);
        if (window.grab().save(path)) {
            out << path << "\n";
        } else {
            err << "kelvara-formshots: cannot write " << path << "\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

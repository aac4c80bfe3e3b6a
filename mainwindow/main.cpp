#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QIcon>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    qputenv("QT_QPA_FONTDIR", (QCoreApplication::applicationDirPath() + "/fonts").toUtf8());
    QFontDatabase::addApplicationFont(":/fonts/LiberationSans-Regular.ttf");
    QDir::setCurrent(QCoreApplication::applicationDirPath());

    QMainWindow window;
    window.setWindowTitle("Kelvara Suite");
    app.setWindowIcon(QIcon(":/icon_windows.ico"));
    window.resize(800, 600);
    window.show();
    return app.exec();
}

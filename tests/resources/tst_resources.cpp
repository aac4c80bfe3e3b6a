#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void fontsRegister_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("family");
        QTest::newRow("sans") << ":/fonts/LiberationSans-Regular.ttf" << "Liberation Sans";
        QTest::newRow("mono") << ":/fonts/LiberationMono-Regular.ttf" << "Liberation Mono";
        QTest::newRow("serif") << ":/fonts/LiberationSerif-Regular.ttf" << "Liberation Serif";
    }

    void fontsRegister()
    {
        QFETCH(QString, path);
        QFETCH(QString, family);
        const int id = QFontDatabase::addApplicationFont(path);
        QVERIFY2(id >= 0, qPrintable(path));
        QCOMPARE(QFontDatabase::applicationFontFamilies(id).value(0), family);
    }

    void imagesLoad()
    {
        QVERIFY(!QPixmap(":/tamsett_logo_revised.png").isNull());
        QVERIFY(!QPixmap(":/icons/update.png").isNull());
        QVERIFY(!QIcon(":/icon_windows.ico").availableSizes().isEmpty());
    }

    void temperatureMapHoldsThreeSensors()
    {
        QFile file(":/temperature_voltage_map.json");
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(top.keys(), QStringList({"0", "1", "2"}));
        QCOMPARE(top["0"].toObject()["name"].toString(), QString("10k ntc, B=3950"));
        QCOMPARE(top["2"].toObject()["name"].toString(), QString("10k ntc, Bafang"));
        const QJsonObject bafang = top["2"].toObject()["mappings"].toObject();
        QCOMPARE(bafang.size(), 6);
        QCOMPARE(bafang["25"].toDouble(), 3.750);
        QCOMPARE(bafang["125"].toDouble(), 0.703);
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"

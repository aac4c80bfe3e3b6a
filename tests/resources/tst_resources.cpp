#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void fontsAndImagesAreEmbedded()
    {
        for (const QString family : {"Sans", "Mono", "Serif"}) {
            const int id =
                QFontDatabase::addApplicationFont(":/fonts/Liberation" + family + "-Regular.ttf");
            QCOMPARE(QFontDatabase::applicationFontFamilies(id).value(0), "Liberation " + family);
        }
        QVERIFY(!QPixmap(":/tamsett_logo_revised.png").isNull());
        QVERIFY(!QPixmap(":/icons/update.png").isNull());
        QVERIFY(!QIcon(":/icon_windows.ico").availableSizes().isEmpty());
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"

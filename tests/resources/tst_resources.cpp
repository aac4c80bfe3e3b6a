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

    // The logo for scaled screens is the same picture at four times its
    // pixels: drawn down to the small one's size, its letters stand where
    // the small one's do and cover about as much.
    void largeLogoIsTheSamePicture()
    {
        const QImage small =
            QImage(":/tamsett_logo_revised.png").convertToFormat(QImage::Format_ARGB32);
        const QImage large = QImage(":/tamsett_logo_revised@4x.png");
        QCOMPARE(large.size(), small.size() * 4);
        const QImage drawnDown =
            large.scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        QRect letters;
        QRect drawnLetters;
        qint64 difference = 0;
        qint64 covered = 0;
        for (int y = 0; y < small.height(); ++y) {
            for (int x = 0; x < small.width(); ++x) {
                const int alpha = qAlpha(small.pixel(x, y));
                const int drawnAlpha = qAlpha(drawnDown.pixel(x, y));
                if (alpha > 128)
                    letters |= QRect(x, y, 1, 1);
                if (drawnAlpha > 128)
                    drawnLetters |= QRect(x, y, 1, 1);
                difference += qAbs(alpha - drawnAlpha);
                covered += alpha;
            }
        }
        QVERIFY(!letters.isEmpty());
        QCOMPARE(drawnLetters, letters);
        QVERIFY2(difference * 4 < covered,
                 qPrintable(QString("%1 of %2").arg(difference).arg(covered)));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"

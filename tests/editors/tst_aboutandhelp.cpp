// The About and Help windows.

#include "aboutprogramwindow.h"
#include "helpwindow.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

class TestAboutAndHelp : public QObject
{
    Q_OBJECT

private slots:
    void aboutShowsVersionAndDate()
    {
        QPointer<AboutProgramWindow> about = new AboutProgramWindow;
        about->show();
        QCOMPARE(about->findChild<QLabel*>("version_label")->text(), QString("v1.8.0 - RELEASE"));
        const QString date = about->findChild<QLabel*>("build_date")->text();
        QVERIFY2(QRegularExpression("^[A-Z][a-z]{2} \\d{2} \\d{4}$").match(date).hasMatch(),
                 qPrintable(date));
        about->findChild<QPushButton*>("pushButton")->click(); // OK closes and deletes
        QTRY_VERIFY(about.isNull());
    }

    void helpShowsTheManualFromTheTop()
    {
        QPointer<HelpWindow> help = new HelpWindow;
        help->show();
        QCOMPARE(help->windowTitle(), QString("Help"));
        auto* browser = help->findChild<QTextBrowser*>("textBrowser");
        const QString manual = browser->toPlainText();
        for (const char* section : {"Basic Setup", "Advanced Setup", "Temperature Setup",
                                    "PAS Setup", "Dashboard", "Dev Screen"})
            QVERIFY2(manual.contains(QString(25, '*') + ' ' + section + ' ' + QString(24, '*')),
                     section);
        QVERIFY(manual.contains("Max Phase Current:"));
        QVERIFY(!manual.contains("http") && !manual.contains("www"));
        QVERIFY(browser->verticalScrollBar()->maximum() > 0);
        QCOMPARE(browser->verticalScrollBar()->value(), 0);
        help->close();
        QTRY_VERIFY(help.isNull());
    }
};

QTEST_MAIN(TestAboutAndHelp)
#include "tst_aboutandhelp.moc"

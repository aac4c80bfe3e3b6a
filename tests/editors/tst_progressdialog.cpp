#include "progressdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class TestProgressDialog : public QObject
{
    Q_OBJECT

private slots:
    void startsEmpty()
    {
        ProgressDialog dialog("Downloading Files", true);
        QCOMPARE(dialog.findChild<QLabel*>("progressLabel")->text(), QString());
        dialog.setProgress(34);
        dialog.setProgress(150);
        QCOMPARE(dialog.findChild<QProgressBar*>()->value(), 34);
        QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    }

    void userEndsTheDialog_data()
    {
        QTest::addColumn<bool>("noAbort");
        QTest::addColumn<bool>("finishing");
        QTest::addColumn<QString>("button"); // pressed; "close" asks to close; else Escape
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("aborted");
        QTest::newRow("no abort refuses to close") << true << false << "close" << true << false;
        QTest::newRow("Abort: disabled, still up")
            << false << false << "abortButton" << true << true;
        QTest::newRow("Escape aborts") << false << false << QString() << false << true;
        QTest::newRow("Escape aborts without Abort") << true << false << QString() << false << true;
        QTest::newRow("Done ends the wait") << false << true << "doneButton" << true << false;
        QTest::newRow("Escape ends the wait") << true << true << QString() << false << false;
    }
    void userEndsTheDialog()
    {
        QFETCH(bool, noAbort);
        QFETCH(bool, finishing);
        QFETCH(QString, button);
        QFETCH(bool, aborted);
        ProgressDialog dialog("Work", noAbort);
        QSignalSpy abortSignals(&dialog, &ProgressDialog::aborted);
        dialog.show();
        const auto act = [&] {
            if (button.isEmpty())
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else if (button == "close")
                dialog.close();
            else
                dialog.findChild<QPushButton*>(button)->click();
        };
        if (finishing) {
            QTimer::singleShot(0, &dialog, act); // inside finish()'s wait
            dialog.finish();
        } else {
            act();
        }
        QCOMPARE(abortSignals.count(), aborted ? 1 : 0);
        QTEST(dialog.isVisible(), "visible");
        QCOMPARE(dialog.wasAborted(), aborted);
        QCOMPARE(dialog.isEnabled(), !aborted);
        QCOMPARE(dialog.findChild<QPushButton*>("doneButton")->isVisible(),
                 finishing && dialog.isVisible());
        QCOMPARE(dialog.findChild<QPushButton*>("abortButton")->isVisible(),
                 !noAbort && !finishing && dialog.isVisible());
    }
};

QTEST_MAIN(TestProgressDialog)
#include "tst_progressdialog.moc"

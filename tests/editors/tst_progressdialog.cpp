#include "progressdialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class tst_ProgressDialog : public QObject
{
    Q_OBJECT

private slots:
    void startsEmpty();
    void withoutAbortRefusesToClose();
    void abortDisablesAndReports();
    void escapeHidesAndAborts_data();
    void escapeHidesAndAborts();
    void finishWaitsForDone();
    void escapeEndsFinish();
};

void tst_ProgressDialog::startsEmpty()
{
    ProgressDialog dialog("Downloading Files", true);
    QCOMPARE(dialog.windowTitle(), "Downloading Files");
    QCOMPARE(dialog.findChild<QLabel*>("progressLabel")->text(), QString());
    auto* bar = dialog.findChild<QProgressBar*>("progressBar");
    QCOMPARE(bar->value(), 0);
    dialog.setProgress(34);
    dialog.setProgress(150);
    QCOMPARE(bar->value(), 34);
    QVERIFY(dialog.isModal());
}

void tst_ProgressDialog::withoutAbortRefusesToClose()
{
    ProgressDialog dialog("Downloading Files", true);
    dialog.show();
    QVERIFY(!dialog.findChild<QPushButton*>("abortButton")->isVisible());
    QVERIFY(!dialog.findChild<QPushButton*>("doneButton")->isVisible());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    dialog.close();
    QVERIFY(dialog.isVisible());
    dialog.done(100);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.wasAborted());
}

void tst_ProgressDialog::abortDisablesAndReports()
{
    ProgressDialog dialog("Work", false);
    QSignalSpy aborted(&dialog, &ProgressDialog::aborted);
    dialog.show();
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    auto* abort = dialog.findChild<QPushButton*>("abortButton");
    QVERIFY(abort->isVisible());
    abort->click();
    QCOMPARE(aborted.count(), 1);
    QVERIFY(dialog.wasAborted());
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isEnabled());
}

void tst_ProgressDialog::escapeHidesAndAborts_data()
{
    QTest::addColumn<bool>("noAbort");
    QTest::newRow("abort allowed") << false;
    QTest::newRow("no abort") << true;
}

void tst_ProgressDialog::escapeHidesAndAborts()
{
    QFETCH(bool, noAbort);
    ProgressDialog dialog("Work", noAbort);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.wasAborted());
}

void tst_ProgressDialog::finishWaitsForDone()
{
    ProgressDialog dialog("Work", false);
    dialog.show();
    auto* done = dialog.findChild<QPushButton*>("doneButton");
    bool pressed = false;
    QTimer::singleShot(50, &dialog, [&] {
        QVERIFY(done->isVisible());
        QVERIFY(!dialog.findChild<QPushButton*>("abortButton")->isVisible());
        pressed = true;
        done->click();
    });
    dialog.finish();
    QVERIFY(pressed);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.wasAborted());
}

void tst_ProgressDialog::escapeEndsFinish()
{
    ProgressDialog dialog("Work", true);
    dialog.show();
    QTimer::singleShot(50, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    dialog.finish();
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.wasAborted());
}

QTEST_MAIN(tst_ProgressDialog)
#include "tst_progressdialog.moc"

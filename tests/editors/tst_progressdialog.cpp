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
    void withoutAbortRefusesToClose();
    void userEndsTheDialog_data();
    void userEndsTheDialog();
};

void tst_ProgressDialog::withoutAbortRefusesToClose()
{
    ProgressDialog dialog("Downloading Files", true);
    QCOMPARE(dialog.findChild<QLabel*>("progressLabel")->text(), QString());
    dialog.setProgress(34);
    dialog.setProgress(150);
    QCOMPARE(dialog.findChild<QProgressBar*>()->value(), 34);
    dialog.show();
    QVERIFY(!dialog.findChild<QPushButton*>("abortButton")->isVisible());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowCloseButtonHint));
    dialog.close();
    QVERIFY(dialog.isVisible());
    dialog.done(100);
    QVERIFY(!dialog.isVisible());
}

void tst_ProgressDialog::userEndsTheDialog_data()
{
    QTest::addColumn<bool>("noAbort");
    QTest::addColumn<bool>("finishing");
    QTest::addColumn<QString>("button"); // pressed, else Escape
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("aborted");
    QTest::newRow("Abort: disabled, still up") << false << false << "abortButton" << true << true;
    QTest::newRow("Escape aborts") << false << false << QString() << false << true;
    QTest::newRow("Escape aborts without Abort") << true << false << QString() << false << true;
    QTest::newRow("Done ends the wait") << false << true << "doneButton" << true << false;
    QTest::newRow("Escape ends the wait") << true << true << QString() << false << false;
}

void tst_ProgressDialog::userEndsTheDialog()
{
    QFETCH(bool, noAbort);
    QFETCH(bool, finishing);
    QFETCH(QString, button);
    QFETCH(bool, aborted);
    ProgressDialog dialog("Work", noAbort);
    QSignalSpy abortSignals(&dialog, &ProgressDialog::aborted);
    dialog.show();
    QTimer::singleShot(20, &dialog, [&] {
        if (button.isEmpty())
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.findChild<QPushButton*>(button)->click();
    });
    if (finishing)
        dialog.finish();
    QTRY_COMPARE(abortSignals.count(), aborted ? 1 : 0);
    QTEST(dialog.isVisible(), "visible");
    QCOMPARE(dialog.wasAborted(), aborted);
    QCOMPARE(dialog.isEnabled(), !aborted);
    QCOMPARE(dialog.findChild<QPushButton*>("doneButton")->isVisible(), finishing && dialog.isVisible());
}

QTEST_MAIN(tst_ProgressDialog)
#include "tst_progressdialog.moc"

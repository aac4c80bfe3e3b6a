// The custom parameter editor over the embedded definitions.

#include "customparameteredit.h"
#include "readmodel.h"

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using Keys = QList<QPair<int, int>>;

class TestCustomParameterEdit : public QObject
{
    Q_OBJECT
    std::unique_ptr<Kelvara> model;
    std::unique_ptr<CustomParameterEdit> editor;

    QLayout* area() const { return editor->findChild<QWidget*>("parameterList")->layout(); }
    QWidget* row(int index) const { return area()->itemAt(index)->widget(); }
    QPushButton* button(const char* name) const { return editor->findChild<QPushButton*>(name); }
    bool shown(const char* name) const { return !editor->findChild<QLabel*>(name)->isHidden(); }

    // "Number 71", "Enum 11", "Bit 212" for the rows top to bottom, with the
    // names shown if asked, then the legend lines shown.
    QStringList shownRows(bool names = false) const
    {
        QStringList rows;
        for (int i = 0; i < area()->count() - 1; ++i) {
            QWidget* display = row(i)->layout()->itemAt(0)->widget();
            const QString kind =
                QString(display->metaObject()->className()).remove("ParameterDisplay");
            rows << (kind.isEmpty() ? "Number" : kind) + " "
                    + display->findChild<QLabel*>("addr")->text().mid(6)
                    + (names ? ": " + display->findChild<QLabel*>("name")->text() : "");
        }
        if (shown("dependent_label"))
            rows << "dependent";
        if (shown("level_3_label") && shown("level_3_note"))
            rows << "level 3";
        return rows;
    }

private slots:
    void init()
    {
        editor.reset();
        model = readModel();
        editor.reset(new CustomParameterEdit(model.get()));
    }

    void rows_data()
    {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("each key once")
            << Keys{{71, -1}, {71, -1}, {11, -1}, {276, 3}, {212, 11}, {276, 3}}
            << QStringList{"Number 71: Max Phase Current", "Enum 11: Speed Regulator Mode",
                           "Bit 276: Digital Inputs[03]: PAS 1",
                           "Bit 212: Features[11]: Walk Mode Enable"};
        QTest::newRow("bit of no bit vector")
            << Keys{{71, 3}} << QStringList{"Number 71: Max Phase Current"};
        QTest::newRow("dependent")
            << Keys{{141, -1}}
            << QStringList{"Number 141: †Low Voltage Cutoff (Start)", "dependent"};
        QTest::newRow("level 3") << Keys{{15, -1}}
                                 << QStringList{"Number 15: ³Voltage Gain", "level 3"};
        QTest::newRow("level 3 enum")
            << Keys{{4, -1}} << QStringList{"Enum 4: ³Baud Rate", "level 3"};
        QTest::newRow("both") << Keys{{33, -1}}
                              << QStringList{"Number 33: †³DC Voltage Trip Clear Hysterisis",
                                             "dependent", "level 3"};
    }
    void rows()
    {
        QFETCH(Keys, keys);
        editor->addSelectedParameters(keys);
        editor->addSelectedParameters(keys);
        QTEST(shownRows(true), "rows");
        // A parameter that is no enum gets a number row, nothing unsaved.
        editor->addEnumParameter(model->getParameter(72));
        QVERIFY(shownRows().contains("Number 72"));
        QVERIFY(model->getUnsavedValues().isEmpty());
    }

    void removingRows()
    {
        editor->addSelectedParameters({{33, -1}, {71, -1}, {141, -1}});
        row(0)->findChild<QPushButton*>()->click();
        QTRY_COMPARE(shownRows(), (QStringList{"Number 71", "Number 141", "dependent"}));
        row(1)->findChild<QPushButton*>()->click();
        // A removed row picked again comes back at the bottom.
        editor->addSelectedParameters({{33, -1}});
        QTRY_COMPARE(shownRows(), (QStringList{"Number 71", "Number 33", "dependent", "level 3"}));
    }

    void saveFollowsValidityAndDoneFinishes()
    {
        model->setValid(false);
        editor.reset(new CustomParameterEdit(model.get()));
        QVERIFY(!button("write")->isEnabled());
        model->setValid(true);
        QVERIFY(button("write")->isEnabled());

        // Done finishes the dialog, so its owner learns that editing is
        // over; the rows stay for the next opening.
        QSignalSpy finished(editor.get(), &QDialog::finished);
        editor->addSelectedParameters({{71, -1}});
        editor->show();
        button("done")->click();
        QCOMPARE(finished.count(), 1);
        QVERIFY(editor->isHidden());

        // Reopened, Enter in a row presses no remove button.
        editor->show();
        QTest::keyClick(row(0)->findChild<QLineEdit*>(), Qt::Key_Return);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(shownRows(), QStringList{"Number 71"});
    }
};

QTEST_MAIN(TestCustomParameterEdit)
#include "tst_customparameteredit.moc"

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

private slots:
    void init();
    void rows_data();
    void rows();
    void removingRows();
    void saveFollowsValidityAndDoneFinishes();

private:
    // "Number 71", "Enum 11", "Bit 212" for the rows, top to bottom.
    QStringList rowKinds() const;
    QWidget* row(int index) const { return area()->itemAt(index)->widget(); }
    QLayout* area() const { return editor->findChild<QWidget*>("parameterList")->layout(); }
    QPushButton* button(const char* name) const { return editor->findChild<QPushButton*>(name); }
    QString legends() const;
    std::unique_ptr<Kelvara> model;
    std::unique_ptr<CustomParameterEdit> editor;
};

void TestCustomParameterEdit::init()
{
    editor.reset();
    model = readModel();
    editor.reset(new CustomParameterEdit(model.get()));
}

QStringList TestCustomParameterEdit::rowKinds() const
{
    QStringList kinds;
    for (int i = 0; i < area()->count() - 1; ++i) {
        QWidget* widget = row(i)->layout()->itemAt(0)->widget();
        const QString kind = QString(widget->metaObject()->className()).remove("ParameterDisplay");
        const QString address = widget->findChild<QLabel*>("addr")->text().mid(6);
        kinds << (kind.isEmpty() ? "Number" : kind) + " " + address;
    }
    return kinds;
}

// The legend lines shown: "dependent", "level 3" (label and note).
QString TestCustomParameterEdit::legends() const
{
    auto shown = [this](const char* name) { return !editor->findChild<QLabel*>(name)->isHidden(); };
    QStringList lines;
    if (shown("dependent_label"))
        lines << "dependent";
    if (shown("level_3_label") && shown("level_3_note"))
        lines << "level 3";
    return lines.join(", ");
}

void TestCustomParameterEdit::rows_data()
{
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<QString>("legends");
    QTest::newRow("each key once")
        << Keys{{71, -1}, {71, -1}, {11, -1}, {212, 5}, {212, 6}, {212, 5}}
        << QStringList{"Number 71", "Enum 11", "Bit 212", "Bit 212"} << "";
    QTest::newRow("bit of no bit vector") << Keys{{71, 3}} << QStringList{"Number 71"} << "";
    QTest::newRow("dependent") << Keys{{141, -1}} << QStringList{"Number 141"} << "dependent";
    QTest::newRow("level 3 enum") << Keys{{4, -1}} << QStringList{"Enum 4"} << "level 3";
    QTest::newRow("both") << Keys{{33, -1}} << QStringList{"Number 33"} << "dependent, level 3";
    QTest::newRow("nothing") << Keys{} << QStringList{} << "";
}

void TestCustomParameterEdit::rows()
{
    QFETCH(Keys, keys);
    editor->addSelectedParameters(keys);
    editor->addSelectedParameters(keys);
    QTEST(rowKinds(), "kinds");
    QTEST(legends(), "legends");
    // A parameter that is no enum gets a number row.
    editor->addEnumParameter(model->getParameter(72));
    QCOMPARE(rowKinds().last(), QString("Number 72"));
}

void TestCustomParameterEdit::removingRows()
{
    editor->addSelectedParameters({{33, -1}, {71, -1}, {141, -1}});
    row(0)->findChild<QPushButton*>()->click();
    QCOMPARE(legends(), QString("dependent"));
    QTRY_COMPARE(rowKinds(), (QStringList{"Number 71", "Number 141"}));
    row(1)->findChild<QPushButton*>()->click();
    QCOMPARE(legends(), QString());
    // A removed row picked again comes back at the bottom.
    editor->addSelectedParameters({{33, -1}});
    QTRY_COMPARE(rowKinds(), (QStringList{"Number 71", "Number 33"}));
}

void TestCustomParameterEdit::saveFollowsValidityAndDoneFinishes()
{
    model->setValid(false);
    editor.reset(new CustomParameterEdit(model.get()));
    QVERIFY(!button("write")->isEnabled());
    model->setValid(true);
    QVERIFY(button("write")->isEnabled());

    QSignalSpy finished(editor.get(), &QDialog::finished);
    editor->addSelectedParameters({{71, -1}});
    editor->show();
    // Done finishes the dialog, so its owner learns that editing is over;
    // the rows stay for the next opening.
    button("done")->click();
    QCOMPARE(finished.count(), 1);
    QVERIFY(editor->isHidden());
    QCOMPARE(rowKinds(), QStringList{"Number 71"});

    // Reopened, Enter in a row presses no remove button.
    editor->show();
    QTest::keyClick(row(0)->findChild<QLineEdit*>(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(rowKinds(), QStringList{"Number 71"});
}

QTEST_MAIN(TestCustomParameterEdit)
#include "tst_customparameteredit.moc"

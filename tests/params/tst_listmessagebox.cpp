// A box whose text lists entries shows a long list's first entries and
// "... and N more", every entry in its details, and keeps within the
// screen, its details too; text added while it is open is fitted alike.
// A run without spaces wraps at nothing inserted, so that it is selected
// and copied as given. What a box quotes keeps to one line and to its place.

#include "boxchecks.h"
#include "boxquote.h"
#include "listmessagebox.h"
#include "pathmessagebox.h"
#include "screenfit.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QStringList numbered(int count, const QString& name = QStringLiteral("Value"))
{
    QStringList entries;
    for (int i = 1; i <= count; ++i)
        entries << QStringLiteral("%1 %2: 100 V held, 90 V shown").arg(name).arg(i);
    return entries;
}

QString boxText(const QStringList& entries)
{
    return QStringLiteral("The controller holds values beyond the limits:\n")
        + ListMessageBox::listed(entries) + QStringLiteral("\n\nThe page shows the limit.");
}

// The box's frame as the window manager would draw it, or the allowance
// kept for one.
QRect withFrame(const QWidget* box)
{
    const QSize room = ScreenFit::roomOnScreen(box);
    const QRect area = box->screen()->availableGeometry();
    const int sides = area.width() - room.width();
    const int topAndBottom = area.height() - room.height();
    return box->geometry().adjusted(-sides / 2, -(topAndBottom - sides / 2), sides / 2, sides / 2);
}

// Where the label's lines start within its text.
QList<int> lineStarts(const QLabel* label)
{
    QList<int> starts;
    const auto* document = label->findChild<QTextDocument*>();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            starts << block.position() + block.layout()->lineAt(i).textStart();
    }
    return starts;
}

QAbstractButton* detailsButton(QMessageBox* box)
{
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QMessageBox::ActionRole)
            return button;
    }
    return nullptr;
}

} // namespace

class TestListMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void longListShortened_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("shown");
        QTest::newRow("one") << 1 << 1;
        QTest::newRow("ten: whole") << 10 << 10;
        QTest::newRow("eleven: ten and 1 more") << 11 << 10;
        QTest::newRow("forty: ten and 30 more") << 40 << 10;
    }

    // The lead and the closing text stay; a list beyond ten entries shows
    // ten and a line for the rest, marked as the entries are, and the
    // details hold every entry; a list of ten needs no details.
    void longListShortened()
    {
        QFETCH(int, count);
        QFETCH(int, shown);
        const QStringList entries = numbered(count);
        ListMessageBox box(QMessageBox::Warning, "Values Outside Limits", boxText(entries));
        QStringList expected{"The controller holds values beyond the limits:"};
        for (const QString& entry : entries.mid(0, shown))
            expected << "  " + entry;
        if (count > shown)
            expected << QString("  ... and %1 more").arg(count - shown);
        expected << ""
                 << "The page shows the limit.";
        QCOMPARE(box.text().split('\n'), expected);
        QCOMPARE(box.detailedText(), count > shown ? entries.join('\n') : QString());
        QCOMPARE(box.wholeText(), boxText(entries));
        QCOMPARE(box.windowTitle(), QString("Values Outside Limits"));
        QCOMPARE(box.buttons().size(), count > shown ? 2 : 1);
        QCOMPARE(box.defaultButton(), box.button(QMessageBox::Ok));
    }

    // Each list is shortened on its own; the details keep them apart.
    void listsShortenedEachOnItsOwn()
    {
        const QStringList first = numbered(12, "Name");
        const QStringList second = numbered(3, "File");
        const QStringList third = numbered(11, "Entry");
        ListMessageBox box(QMessageBox::Information, "Imported",
                           "Left out:\n" + ListMessageBox::listed(first) + "\n\nCommands:\n"
                               + ListMessageBox::listed(second) + "\nAnd:\n"
                               + ListMessageBox::listed(third));
        const QStringList lines = box.text().split('\n');
        QCOMPARE(lines.count("  ... and 2 more"), 1);
        QCOMPARE(lines.count("  ... and 1 more"), 1);
        for (const QString& entry : second)
            QVERIFY(lines.contains("  " + entry));
        QVERIFY(lines.contains("Commands:") && lines.contains("And:"));
        QCOMPARE(box.detailedText(), (first + QStringList{QString()} + third).join('\n'));
    }

    // A list of ten entries whose lines wrap does not fit a low screen:
    // the box shows fewer, keeping room for its details, and moves up as
    // they show; the OK button stays on the screen.
    void keepsWithinTheScreen()
    {
        const QString longName = QString("Register with a name long enough to wrap ").repeated(3);
        ListMessageBox box(QMessageBox::Warning, "Values Limited", boxText(numbered(40, longName)));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QRect area = box.screen()->availableGeometry();
        const int entries = box.text().split('\n').filter(longName).size();
        QVERIFY2(entries >= 1 && entries < ListMessageBox::shownEntries,
                 qPrintable(QString::number(entries)));
        QVERIFY(box.text().contains(QString("  ... and %1 more").arg(40 - entries)));
        QVERIFY(area.contains(withFrame(&box)));

        QAbstractButton* details = detailsButton(&box);
        QVERIFY(details);
        details->click();
        QTRY_VERIFY(box.findChild<QTextEdit*>()->isVisible());
        QTRY_VERIFY2(area.contains(withFrame(&box)),
                     qPrintable(QString("%1 %2 %3 x %4")
                                    .arg(box.x())
                                    .arg(box.y())
                                    .arg(box.width())
                                    .arg(box.height())));
        QAbstractButton* ok = box.button(QMessageBox::Ok);
        QVERIFY(area.contains(QRect(ok->mapToGlobal(QPoint()), ok->size())));
        QCOMPARE(box.findChild<QTextEdit*>()->toPlainText().split('\n').size(), 40);
    }

    // A failure told while the box is open joins it, its list fitted.
    void textAddedWhileShownIsFitted()
    {
        ListMessageBox box(QMessageBox::Warning, "Write Fail", boxText(numbered(2)));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QVERIFY(box.detailedText().isEmpty());
        box.appendText("\n\nAlso:\n" + ListMessageBox::listed(numbered(25, "Name")));
        QVERIFY(box.text().endsWith("\n  ... and 15 more"));
        QVERIFY(box.text().contains("  Value 2: 100 V held, 90 V shown\n"));
        QCOMPARE(box.detailedText().split('\n').size(), 25);
        QVERIFY(box.wholeText().endsWith("Name 25: 100 V held, 90 V shown"));
        QVERIFY(box.screen()->availableGeometry().contains(withFrame(&box)));
    }

    // Names show as they are, also those that look like markup.
    void namesShownAsTheyAre()
    {
        ListMessageBox box(QMessageBox::Warning, "Values Limited",
                           "Moved:\n" + ListMessageBox::listed({"Phase <b>Current</b> & more"}));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const auto* label = box.findChild<QLabel*>("qt_msgbox_label");
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->text().contains("  Phase <b>Current</b> & more"));
    }

    void longRunWrapsAsGiven_data()
    {
        QTest::addColumn<bool>("path");
        QTest::addColumn<QString>("run");
        const QString folders =
            "/home/rider/" + QString("Kelvara_exports_of_the_shop/").repeated(12);
        QTest::newRow("a value") << false << QString(300, 'W');
        QTest::newRow("a path") << true << folders + "rear hub.xml";
        QTest::newRow("a path whose name is wider than the screen")
            << true << folders + QString(400, 'n') + ".xml";
    }

    // A run wider than the screen wraps, within the screen, at nothing of
    // its own: selected or copied it reads as given. A path breaks after
    // its folders' separators, within a name only where the name is wider
    // than the box. It still does after the box has been resized.
    void longRunWrapsAsGiven()
    {
        QFETCH(bool, path);
        QFETCH(QString, run);
        std::unique_ptr<ListMessageBox> box(
            path ? new PathMessageBox(QMessageBox::Warning, "Export Failed", "Not written:", run)
                 : new ListMessageBox(QMessageBox::Warning, "Parameter File Imported",
                                      "Not imported:\n" + ListMessageBox::listed({run})));
        box->show();
        QVERIFY(QTest::qWaitForWindowExposed(box.get()));
        for (const int pass : {1, 2}) {
            QVERIFY2(BoxChecks::boxFaults(box.get(), nullptr).isEmpty(),
                     qPrintable(QString::number(pass) + ": "
                                + BoxChecks::boxFaults(box.get(), nullptr).join('\n')));
            box->setFixedSize(box->size() + QSize(0, pass));
            QTest::qWait(0);
        }
        auto* shown =
            box->findChild<QLabel*>(path ? "qt_msgbox_informativelabel" : "qt_msgbox_label");
        QVERIFY(shown);
        const int start = int(shown->text().indexOf(run));
        QVERIFY(start >= 0);
        const QList<int> starts = lineStarts(shown);
        QVERIFY2(starts.size() > 2, qPrintable(QString::number(starts.size())));
        const int name = int(run.lastIndexOf('/')) + 1;
        for (const int line : starts) {
            if (path && line > start && line - start <= name)
                QCOMPARE(shown->text().at(line - 1), QChar('/'));
        }
        shown->setSelection(start, int(run.size()));
        QCOMPARE(shown->selectedText(), run);
        shown->setFocus();
        QTest::keyClick(shown, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), run);
    }

    void quotedOnOneLineInPlace_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("quoted");
        const QString cut(QChar(0x2026));
        QTest::newRow("marks of direction")
            << QString::fromUtf8("a\u202Ab\u202Bc\u202Cd\u202Ee\u2066f\u2067g\u2068h\u2069i\u200Ej"
                                 "\u200Fk\u061Cl\u202Dm")
            << "a b c d e f g h i j k l m";
        const QString name = "Kelvara_parameter_exports_Ostrel_V4_Trelby_2024-06-01.xml";
        const QString folders = "/home/rider/" + QString("Kelvara exports/").repeated(6);
        QTest::newRow("a path: the folders cut, the name whole")
            << folders + name << folders.left(98 - name.size()) + cut + "/" + name;
        QTest::newRow("a name too long: the folders go, the name cut")
            << folders + QString(300, 'n') << cut + "/" + QString(64, 'n') + cut + QString(33, 'n');
        // The separator before the name, then the ellipsis, give way to it.
        QTest::newRow("a name of 98") << folders + QString(98, 'n') << cut + "/" + QString(98, 'n');
        QTest::newRow("a name of 99") << folders + QString(99, 'n') << cut + QString(99, 'n');
        QTest::newRow("a name of 100") << folders + QString(100, 'n') << QString(100, 'n');
        QTest::newRow("a name of 101")
            << folders + QString(101, 'n') << cut + "/" + QString(64, 'n') + cut + QString(33, 'n');
        QTest::newRow("a folder's name of 99")
            << folders + QString(99, 'n') + "/" << QString(99, 'n') + "/";
    }

    void quotedOnOneLineInPlace()
    {
        QFETCH(QString, text);
        QTEST(BoxQuote::cut(text), "quoted");
        QVERIFY(BoxQuote::cut(text).size() <= BoxQuote::maxLength);
    }
};

QTEST_MAIN(TestListMessageBox)

#include "tst_listmessagebox.moc"

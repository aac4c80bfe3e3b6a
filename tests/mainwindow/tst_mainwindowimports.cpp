// Parameter files into the main window against the simulated controller,
// by every path a user has, judged from what the controller received: no
// file commands it, and what the pages mark as changed is what Save writes.

#include "defaultstore.h"
#include "pasdeviceloader.h"
#include "windowfixture.h"
#include "xmltranslatortesting.h"

using namespace WindowFixture;

namespace {

enum ImportPath { OpenFile, AdvancedImport, DefaultsApply, PasDeviceList };

} // namespace

class TestMainWindowImports : public QObject
{
    Q_OBJECT
    QTemporaryDir home;
    QString store;
    SimulatedWindow f;
    FakeDialogs* dialogs = nullptr; // owned by the window's translator

    // The defaults dialog as the window runs it: the texts chosen, Apply.
    // The boxes that follow go to the watcher given, if any.
    void applyDefaults(const QList<QPair<const char*, QString>>& choices,
                       ModalWatcher* boxes = nullptr)
    {
        ModalWatcher own;
        ModalWatcher& watcher = boxes ? *boxes : own;
        watcher.onDialog = [&](QWidget* modal) {
            for (const auto& choice : choices)
                modal->findChild<QComboBox*>(choice.first)->setCurrentText(choice.second);
            modal->findChild<QPushButton*>("applyButton")->click();
        };
        f.window->launchDefaultChecker();
    }

    void pickPasDevice(const QString& text)
    {
        f.window->findChild<PasDeviceLoader*>()->refreshPasDeviceList();
        auto* devices = f.find<QComboBox>("pedal_assist_type");
        devices->setCurrentIndex(qMax(0, devices->findText(text)));
    }

    // The file through the path given, as the user takes it there; name is
    // its name in the store.
    void importThrough(int path, const QByteArray& file, const QString& name)
    {
        dialogs->openAnswer = home.filePath(name);
        if (path == OpenFile || path == AdvancedImport) {
            writeFile(dialogs->openAnswer, file);
            f.find<QAction>(path == OpenFile ? "importXML" : "advanced_Import")->trigger();
        } else if (path == DefaultsApply) {
            writeFile(store + "/Controller/" + name, file);
            applyDefaults({{"controllerBox", name}});
        } else {
            writeFile(store + "/PAS/" + name, file);
            pickPasDevice(QString(name).remove(".xml"));
        }
    }

    QList<int> markedRows() const
    {
        QList<int> marked;
        for (QWidget* row : FormRows::findRows(f.window.get())) {
            if (FormRows::rowLabel(row)->text().endsWith("**"))
                marked << FormRows::rowKey(row).first;
        }
        std::sort(marked.begin(), marked.end());
        return marked;
    }

    // What the controller received, apart from the save to flash and the
    // switching off of access level 3 that follows it.
    QMap<int, int> save()
    {
        f.simulator->clearLog();
        QSignalSpy saved(f.window->link(), &KelvaraCom::flashSaveComplete);
        f.find<QPushButton>("saveParamsBasic")->click();
        if (!saved.wait(operationLimitMs(f.window->link())) || !waitIdle(f.window.get()))
            return {{-1, -1}};
        QMap<int, int> written = writtenRegisters(f.simulator->requests());
        return written.take(511) == 32767 && written.take(509) == 0 ? written
                                                                    : QMap<int, int>{{-2, -2}};
    }

    // Save writes every marked row and nothing more; then each number row
    // shows what the controller's value means, whatever the limits.
    void checkSaveWritesWhatIsMarked(const QList<int>& marked)
    {
        QCOMPARE(markedRows(), marked);
        const QList<int> unsaved = f.model()->getUnsavedValues().keys();
        QCOMPARE(save().keys(), unsaved);
        QCOMPARE(markedRows(), QList<int>());
        for (QWidget* row : FormRows::findRows(f.window.get())) {
            const int address = FormRows::rowKey(row).first;
            Parameter* parameter = f.model()->getParameter(address);
            auto* spin = qobject_cast<QDoubleSpinBox*>(FormRows::rowEditor(row));
            const int held = qint16(f.simulator->registerValue(address));
            if (spin && parameter->isWriteable())
                QVERIFY2(qFuzzyCompare(1.0 + spin->value(),
                                       1.0
                                           + parameter->unlimitedValue(
                                               parameter->isSigned() ? held : quint16(held))),
                         qPrintable(QString::number(address)));
        }
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath("share"))); // the default files
        store = DefaultStore::root();
        QVERIFY(f.start());
        dialogs = new FakeDialogs;
        f.window->findChild<XMLTranslator*>()->setDialogs(dialogs);
    }

    void init()
    {
        QDir(store).removeRecursively();
        QVERIFY(f.model()->getUnsavedValues().isEmpty() || f.readAll());
        *dialogs = FakeDialogs();
        f.simulator->clearLog();
    }

    void noCommandFromAnyFile_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<int>("wheelDiameter");
        QTest::addColumn<QByteArray>("unlisted"); // a list register's value, "address value"
        QTest::addColumn<QString>("line");
        const QString sources = "Control Command Source = %1: not a value its list (0, 1, 2, 3, 4)";
        QTest::newRow("File > Open Parameter File")
            << int(OpenFile) << 281 << QByteArray("208 7") << sources.arg(7);
        QTest::newRow("Advanced Import")
            << int(AdvancedImport) << 282 << QByteArray("208 65535") << sources.arg(65535);
        QTest::newRow("defaults dialog, Apply")
            << int(DefaultsApply) << 283 << QByteArray("211 2")
            << "Pedal Sensor Type = 2: not a value its list (0, 1, 3, 4, 5, 6, 8)";
        // Not 0, which would be another source (Serial).
        QTest::newRow("PAS device list")
            << int(PasDeviceList) << 284 << QByteArray("208 -1") << sources.arg(-1);
    }

    // The four commands beside an ordinary value (227): the value is saved;
    // nothing reaches the controller as the file is read, its commands
    // never do, and the import's report says so. Nor is a list register's
    // value its list does not name taken: the report names it too.
    void noCommandFromAnyFile()
    {
        QFETCH(int, path);
        QFETCH(int, wheelDiameter);
        QFETCH(QByteArray, unlisted);
        QFETCH(QString, line);
        const QByteArray file = parameterDocument(
            entry("481", "2") + entry("508", "1") + entry("509", "61957") + entry("510", "1")
            + entry("227", QByteArray::number(wheelDiameter).constData())
            + entry(unlisted.split(' ').at(0).constData(), unlisted.split(' ').at(1).constData()));
        importThrough(path, file, "Device.xml");
        QVERIFY(waitIdle(f.window.get()));
        QCOMPARE(writtenRegisters(f.simulator->requests()), (QMap<int, int>()));
        QCOMPARE(dialogs->errors.size(), 0);
        QCOMPARE(dialogs->infos.size(), 1);
        QVERIFY2(dialogs->infos.first().startsWith("Parameter File Imported|"),
                 qPrintable(dialogs->infos.first()));
        const QString leftOut = "\n  " + unlisted.split(' ').at(0) + ' ' + line + " names\n\n";
        QVERIFY2(dialogs->infos.first().contains(leftOut), qPrintable(dialogs->infos.first()));
        QVERIFY2(dialogs->infos.first().endsWith(
                     "holds commands, which were left out: a parameter file never commands the "
                     "controller.\n  481 Motor Discovery Mode = 2\n  508 Fault Clear = 1\n  509 "
                     "Parameter Access Code = 61957\n  510 Firmware Load = 1"),
                 qPrintable(dialogs->infos.first()));
        QCOMPARE(markedRows(), QList<int>{227});
        QCOMPARE(save(), (QMap<int, int>{{227, wheelDiameter}}));
    }

    void floodsAndRepeatsByEveryPath_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<bool>("flood");
        const QStringList paths{"File > Open Parameter File", "Advanced Import",
                                "defaults dialog, Apply", "PAS device list"};
        for (int path : {OpenFile, AdvancedImport, DefaultsApply, PasDeviceList}) {
            QTest::addRow("attribute flood, %s", qPrintable(paths[path])) << path << true;
            QTest::addRow("one register 20,000 times, %s", qPrintable(paths[path]))
                << path << false;
        }
    }

    // By every path: a start tag of 10,000 attributes (which the XML reader
    // would take seconds over) is refused with a box that says why, and
    // nothing is lost; a file naming one register 20,000 times sets it, and
    // its row, as often as a file naming it once.
    void floodsAndRepeatsByEveryPath()
    {
        QFETCH(int, path);
        QFETCH(bool, flood);
        Parameter* wheel = f.model()->getParameter(227);
        QSignalSpy shown(wheel, &Parameter::displayChanged);
        importThrough(path, parameterDocument(entry("227", "287")), "Once.xml");
        const int once = shown.count();
        QCOMPARE(wheel->getRegisterValue(), 287);
        if (path == PasDeviceList)
            pickPasDevice(QString()); // one device at a time: its values go
        shown.clear();

        QByteArray entries = entry("227", "288").repeated(19999) + entry("227", "289");
        if (flood) {
            QByteArray attributes;
            for (int i = 0; i < 10000; ++i)
                attributes += " a" + QByteArray::number(i) + "=\"\"";
            entries = entry("227", "289")
                          .replace("<SerializableParameter>",
                                   "<SerializableParameter" + attributes + ">");
        }
        const QMap<int, int> unsaved = f.model()->getUnsavedValues();
        importThrough(path, parameterDocument(entries), "Many.xml");
        QVERIFY(waitIdle(f.window.get()));
        if (flood) {
            QCOMPARE(dialogs->errors.size(), 1);
            QVERIFY2(dialogs->errors.first().endsWith(
                         "(line 3: an element carries more than 32 attributes). No parameters "
                         "were imported."),
                     qPrintable(dialogs->errors.first()));
            QCOMPARE(f.model()->getUnsavedValues(), unsaved);
            QCOMPARE(shown.count(), 0);
        } else {
            QCOMPARE(dialogs->errors, QStringList());
            QCOMPARE(wheel->getRegisterValue(), 289);
            QCOMPARE(shown.count(), once);
        }
        QCOMPARE(writtenRegisters(f.simulator->requests()), (QMap<int, int>()));
    }

    void encodingsByEveryPath_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("wheelDiameter"); // one of its own, so that each row marks it
        // "č" is U+010D: in UTF-16 one of its bytes is a carriage return.
        const auto document = [](int wheelDiameter, const char* encoding, const char* lineEnd) {
            return encodedDocument(entry("227", QByteArray::number(wheelDiameter).constData())
                                       .replace("ignored", "Wheel \xc4\x8d"),
                                   "UTF-16", encoding, true, lineEnd);
        };
        QTest::newRow("UTF-16 LE, CRLF, File > Open Parameter File")
            << int(OpenFile) << document(291, "UTF-16LE", "\r\n") << 291;
        QTest::newRow("UTF-16 BE, CRLF, Advanced Import")
            << int(AdvancedImport) << document(292, "UTF-16BE", "\r\n") << 292;
        QTest::newRow("UTF-16 LE, LF, defaults dialog, Apply")
            << int(DefaultsApply) << document(293, "UTF-16LE", "\n") << 293;
        QTest::newRow("UTF-16 BE, CRLF, PAS device list")
            << int(PasDeviceList) << document(294, "UTF-16BE", "\r\n") << 294;
    }

    // By every path a file is read as its bytes are written: its value
    // taken, marked and saved.
    void encodingsByEveryPath()
    {
        QFETCH(int, path);
        QFETCH(QByteArray, file);
        QFETCH(int, wheelDiameter);
        importThrough(path, file, "Encoded.xml");
        QVERIFY(waitIdle(f.window.get()));
        QCOMPARE(dialogs->errors, QStringList());
        QCOMPARE(f.model()->getParameter(227)->getRegisterValue(), wheelDiameter);
        QCOMPARE(markedRows(), QList<int>{227});
        QCOMPARE(save(), (QMap<int, int>{{227, wheelDiameter}}));
    }

    void hugeValueShowsABoundedBox_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("wheelDiameter");
        QTest::newRow("File > Open Parameter File") << "importXML" << QByteArray("285");
        QTest::newRow("Advanced Import") << "advanced_Import" << QByteArray("286");
    }

    // A value of millions of digits: the report box shows, quoting it cut,
    // and the file's other value is imported.
    void hugeValueShowsABoundedBox()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, wheelDiameter);
        auto* shown = new ShownReportDialogs;
        shown->openAnswer = home.filePath("huge.xml");
        writeFile(
            shown->openAnswer,
            parameterDocument(entry("227", wheelDiameter.constData())
                              + entry("70", QByteArray(2000000, '1').append(".5").constData())));
        f.window->findChild<XMLTranslator*>()->setDialogs(dialogs = shown);
        ModalWatcher watcher;
        int shownText = 0;
        watcher.onBox = [&](QMessageBox* box) {
            shownText = box->findChild<QLabel*>("qt_msgbox_label")->text().size();
        };
        f.find<QAction>(action)->trigger();
        QCOMPARE(watcher.titles(), QStringList{"Parameter File Imported"});
        QVERIFY2(shownText > 0 && shownText < 300, qPrintable(QString::number(shownText)));
        QVERIFY(watcher.texts().first().endsWith("\n  entry at line 8: Value \"" + QString(66, '1')
                                                 + QChar(0x2026) + QString(31, '1')
                                                 + ".5\" is not a whole number"));
        checkSaveWritesWhatIsMarked({227});
    }

    // An export taken while the controller reports its motor test under way
    // carries no command, whichever kind.
    void exportCarriesNoCommand()
    {
        f.simulator->setRegisterValue(481, 2);
        QVERIFY(f.readAll());
        QCOMPARE(f.model()->getParameter(481)->getRegisterValue(), 2);
        dialogs->exportAnswer = XMLTranslator::ExportAll;
        dialogs->saveAnswer = home.filePath("all.xml");
        f.find<QAction>("exportXML")->trigger();
        dialogs->saveAnswer = home.filePath("technician.xml");
        f.find<QAction>("advanced_Export")->trigger();
        f.simulator->setRegisterValue(481, 0);
        QVERIFY(f.readAll());
        for (const char* name : {"all.xml", "technician.xml"}) {
            QFile file(home.filePath(name));
            QVERIFY2(file.open(QIODevice::ReadOnly), name);
            const QString content = QString::fromUtf8(file.readAll());
            QVERIFY2(content.contains("<Address>227</Address>"), name);
            for (int address : {481, 508, 509, 510, 511})
                QVERIFY2(!content.contains(QString("<Address>%1<").arg(address)), name);
        }
    }

    // A motor file's phase current (71) beyond the limit that the controller
    // file's rating (0) sets: shown as the limit, marked, told and written.
    void clashingDefaultsShowWhatSaveWrites()
    {
        writeFile(store + "/Maker/M.xml", parameterDocument(entry("71", "60")));
        writeFile(store + "/Controller/C.xml", parameterDocument(entry("0", "50")));
        ModalWatcher boxes;
        applyDefaults(
            {{"manufacturerBox", "Maker"}, {"modelBox", "M.xml"}, {"controllerBox", "C.xml"}},
            &boxes);
        QCOMPARE(f.spin("displayParameters", 71)->value(), 36.0);
        QTRY_VERIFY(boxes.titles().contains("Values Limited"));
        const QString told = boxes.texts().at(boxes.titles().indexOf("Values Limited"));
        QVERIFY2((told + "\n").contains("\n  Max Phase Current (71): 60 A in the file, 36 A now\n"),
                 qPrintable(told));
        checkSaveWritesWhatIsMarked({71}); // 0 has no row
        QCOMPARE(f.simulator->registerValues(71, 1), QVector<quint16>{36});
    }

    // Device A, then B: only B is marked and saved; the blank puts back what
    // the controller holds; a value edited since a pick is the user's.
    void pasPicksReplaceEachOther()
    {
        writeFile(store + "/PAS/A.xml",
                  parameterDocument(entry("178", "1") + entry("208", "4") + entry("211", "3")
                                    + entry("234", "36")));
        writeFile(store + "/PAS/B.xml",
                  parameterDocument(entry("208", "4") + entry("211", "5") + entry("234", "18")));
        pickPasDevice("A");
        pickPasDevice("B");
        QCOMPARE(f.model()->getUnsavedValues().keys(), (QList<int>{208, 211, 234}));
        pickPasDevice(QString());
        QVERIFY(f.model()->getUnsavedValues().isEmpty());
        pickPasDevice("A");
        f.model()->getParameter(178)->setValue(2.0);
        pickPasDevice("B");
        checkSaveWritesWhatIsMarked({178, 208, 234}); // 211 has no row
        QCOMPARE(f.simulator->registerValues(234, 1), QVector<quint16>{18});
        QCOMPARE(f.simulator->registerValues(178, 1), QVector<quint16>{2});
    }
};

QTEST_MAIN(TestMainWindowImports)
#include "tst_mainwindowimports.moc"

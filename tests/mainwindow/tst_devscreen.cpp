// The Dev Screen against the simulated controller: one register by
// address, read and written alone, the hardware id and the console.

#include "windowfixture.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>

using namespace WindowFixture;

class TestDevScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void showsTheRegisterAtTheAddress_data();
    void showsTheRegisterAtTheAddress();
    void changingAddressLeavesBothRegistersAlone_data();
    void changingAddressLeavesBothRegistersAlone();
    void readFetchesOneRegister();
    void saveWritesOneRegisterAndFlashes();
    void enumRegisterTakesOnlyListedValues();
    void addressWithoutDefinitionIsNeverWritten();
    void hardwareIdFollowsTheRegisters();
    void consoleShowsRepliesAndKeepsOneNotConnectedLine();
    void consoleKeepsTheNewestLines_data();
    void consoleKeepsTheNewestLines();

private:
    template<typename T>
    T* child(const char* name) const { return window->findChild<T*>(name); }
    void readAllAndWait();

    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<ControllerSimulator> simulator;
    std::unique_ptr<MainWindow> window;
};

void TestDevScreen::initTestCase()
{
    workspace = std::make_unique<Workspace>();
    simulator = startSimulator();
    QVERIFY(simulator);
    simulator->setRegisterValue(72, 1234);
    window = std::make_unique<MainWindow>();
    window->initControllerConnectionMonitor();
    QVERIFY(connectTo(window.get(), simulator.get()));
}

void TestDevScreen::cleanupTestCase()
{
    window.reset();
    simulator.reset();
    workspace.reset();
}

void TestDevScreen::init()
{
    QVERIFY(waitIdle(window.get()));
    if (!window->deviceModel()->getUnsavedValues().isEmpty())
        readAllAndWait();
    simulator->clearLog();
}

void TestDevScreen::readAllAndWait()
{
    QSignalSpy done(window->link(), &KelvaraCom::readAllComplete);
    child<QPushButton>("readAllDev")->click();
    QTRY_COMPARE_WITH_TIMEOUT(done.count(), 2, 5000);
    QVERIFY(waitIdle(window.get())); // level 3 is switched off after each read
}

void TestDevScreen::showsTheRegisterAtTheAddress_data()
{
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("shown");

    QTest::newRow("two decimals") << 72 << "Kv" << "RPM/V" << 2 << "12.34RPM/V";
    QTest::newRow("whole amperes") << 71 << "Max Phase Current" << "A" << 0 << "70A";
    // Its placeholder's -1 is no value of the controller's.
    QTest::newRow("no definition") << 600 << "invalid" << "" << 0 << "";
}

void TestDevScreen::showsTheRegisterAtTheAddress()
{
    QFETCH(int, address);
    QFETCH(QString, name);
    QFETCH(QString, suffix);
    QFETCH(int, decimals);
    QFETCH(QString, shown);

    child<QSpinBox>("addressInput")->setValue(address);
    auto* valueBox = child<QDoubleSpinBox>("valueDisplay");
    QCOMPARE(child<QLineEdit>("name")->text(), name);
    QCOMPARE(valueBox->suffix(), suffix);
    QCOMPARE(valueBox->decimals(), decimals);
    QCOMPARE(valueBox->text().trimmed(), shown);
    // Reads of other registers leave the box as it is.
    readAllAndWait();
    QCOMPARE(valueBox->text().trimmed(), shown);
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
}

void TestDevScreen::changingAddressLeavesBothRegistersAlone_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");

    QTest::newRow("2 to 0 decimals") << 72 << 71;
    QTest::newRow("2 to 1 decimal") << 72 << 227;
    QTest::newRow("1 to 2 decimals") << 227 << 72;
}

// A new register's decimals must not round the old value into a value for
// the new register, and the old register no longer moves the box.
void TestDevScreen::changingAddressLeavesBothRegistersAlone()
{
    QFETCH(int, from);
    QFETCH(int, to);
    Kelvara* model = window->deviceModel();
    const int fromRaw = model->getParameter(from)->getRegisterValue();
    const int toRaw = model->getParameter(to)->getRegisterValue();

    child<QSpinBox>("addressInput")->setValue(from);
    child<QSpinBox>("addressInput")->setValue(to);
    QCOMPARE(model->getParameter(from)->getRegisterValue(), fromRaw);
    QCOMPARE(model->getParameter(to)->getRegisterValue(), toRaw);
    QVERIFY(model->getUnsavedValues().isEmpty());
    QCOMPARE(child<QDoubleSpinBox>("valueDisplay")->value(), model->getParameter(to)->getValue());

    model->getParameter(from)->setRegisterValue(fromRaw + 10);
    QCOMPARE(child<QDoubleSpinBox>("valueDisplay")->value(), model->getParameter(to)->getValue());
    model->getParameter(from)->setRegisterValue(fromRaw);
}

void TestDevScreen::readFetchesOneRegister()
{
    child<QSpinBox>("addressInput")->setValue(72);
    simulator->setRegisterValue(72, 2222);
    QSignalSpy replies(window->link(), &KelvaraCom::replyProcessed);
    child<QPushButton>("read")->click();
    QTRY_COMPARE_WITH_TIMEOUT(child<QDoubleSpinBox>("valueDisplay")->value(), 22.22, 3000);
    QCOMPARE(simulator->requests().first(), KelvaraCom::fillInCRC(QByteArray::fromHex("010300480001")));
    QVERIFY(window->deviceModel()->getUnsavedValues().isEmpty());
    simulator->setRegisterValue(72, 1234);
    readAllAndWait();
}

void TestDevScreen::saveWritesOneRegisterAndFlashes()
{
    child<QSpinBox>("addressInput")->setValue(227);
    child<QDoubleSpinBox>("valueDisplay")->setValue(30.5);
    QCOMPARE(window->deviceModel()->getParameter(227)->getRegisterValue(), 305);
    QCOMPARE(child<QSpinBox>("numUnsaved")->value(), 1);
    QCOMPARE(child<QPushButton>("writeAllDev")->text(), QString("**Save Parameters"));

    QSignalSpy saved(window->link(), &KelvaraCom::flashSaveComplete);
    child<QPushButton>("write")->click();
    // What a save to flash the controller refuses puts back as unsaved.
    QCOMPARE(window->deviceModel()->getFlashRecoveryValues().keys(), QList<int>{227});
    QVERIFY(saved.wait(5000) && waitIdle(window.get()));
    QCOMPARE(writeFrames(simulator->requests()), (QList<QPair<int, int>>{{227, 1}, {511, 1}, {509, 1}}));
    QCOMPARE(int(simulator->registerValue(227)), 305);
    QCOMPARE(child<QSpinBox>("numUnsaved")->value(), 0);
    QCOMPARE(child<QPushButton>("writeAllDev")->text(), QString("Save Parameters"));
}

void TestDevScreen::enumRegisterTakesOnlyListedValues()
{
    Parameter* baud = window->deviceModel()->getParameter(4);
    child<QSpinBox>("addressInput")->setValue(4);
    auto* valueBox = child<QDoubleSpinBox>("valueDisplay");
    valueBox->setValue(97);
    ModalWatcher watcher;
    emit valueBox->editingFinished();
    QCOMPARE(baud->getRegisterValue() + valueBox->value(), 1152 + 1152.0);
    QCOMPARE(watcher.texts(),
             QStringList{"Value \"97\" is not one of the values of address 4 (12, 96, 192, 384, 576, 1152)"});
    valueBox->setValue(96);
    QCOMPARE(baud->getRegisterValue(), 96);
}

// Every address without a definition shares one placeholder, which holds
// whatever undefined register was read last: saving it would write that.
void TestDevScreen::addressWithoutDefinitionIsNeverWritten()
{
    Kelvara* model = window->deviceModel();
    Parameter* placeholder = model->getParameter(600);
    for (int address = 258; address < 332; ++address) {
        if (model->getParameter(address) == placeholder)
            simulator->setRegisterValue(address, 4321);
    }
    readAllAndWait();
    QVERIFY(waitIdle(window.get()));
    simulator->clearLog();

    auto* write = child<QPushButton>("write");
    child<QSpinBox>("addressInput")->setValue(600);
    QVERIFY(!write->isEnabled());
    write->click();
    emit write->clicked();
    QTest::qWait(300);
    QVERIFY(writeFrames(simulator->requests()).isEmpty());
    QCOMPARE(int(simulator->registerValue(600)), 0);

    child<QSpinBox>("addressInput")->setValue(227);
    QVERIFY(write->isEnabled());
}

void TestDevScreen::hardwareIdFollowsTheRegisters()
{
    simulator->setRegisterValue(237, 0x0312);
    simulator->setRegisterValue(238, 4321);
    readAllAndWait();
    QCOMPARE(child<QSpinBox>("HWID_Display")->value(), 3);
    QCOMPARE(child<QSpinBox>("batchDisplay")->value(), 0x12);
    QCOMPARE(child<QSpinBox>("serialNumDisplay")->value(), 4321);
}

void TestDevScreen::consoleShowsRepliesAndKeepsOneNotConnectedLine()
{
    auto* console = child<QPlainTextEdit>("replyText");
    child<QPushButton>("pushButton")->click();
    QCOMPARE(console->toPlainText(), QString());

    child<QCheckBox>("hexCheckbox")->click();
    child<QSpinBox>("addressInput")->setValue(71);
    child<QPushButton>("read")->click();
    QTRY_VERIFY_WITH_TIMEOUT(console->toPlainText().contains("01 03 02 00 46"), 3000);
    child<QCheckBox>("hexCheckbox")->click();
    QVERIFY(waitIdle(window.get()));

    child<QPushButton>("pushButton")->click();
    for (int i = 0; i < 3; ++i)
        window->setDevReplyText("Controller is not connected");
    window->setDevReplyText("Success");
    window->setDevReplyText("Controller is not connected");
    QTRY_COMPARE(console->toPlainText(),
                 QString("Controller is not connected\nSuccess\nController is not connected"));
    QCOMPARE(console->blockCount(), 3);
}

void TestDevScreen::consoleKeepsTheNewestLines_data()
{
    QTest::addColumn<int>("batches");
    QTest::newRow("one reply at a time") << 200;
    QTest::newRow("more than the limit at once") << 1;
}

void TestDevScreen::consoleKeepsTheNewestLines()
{
    QFETCH(int, batches);
    auto* console = child<QPlainTextEdit>("replyText");
    for (int batch = 0, line = 0; batch < batches; ++batch) {
        while (line < 10050 * (batch + 1) / batches)
            window->setDevReplyText(QString::number(line++));
        QCoreApplication::processEvents(); // the lines of one reply go in together
    }
    QTRY_COMPARE(console->document()->lastBlock().text(), QString("10049"));
    QCOMPARE(console->blockCount(), 10000);
    QCOMPARE(console->document()->firstBlock().text(), QString("50"));
}

QTEST_MAIN(TestDevScreen)
#include "tst_devscreen.moc"

// What the frame counts of the link tests leave out (LateReplies): the
// sends a loaded machine cost, never what the line did. Each row is a log
// of sends written as the test's own facts: the frame ("0" to "500" the
// blocks of a read-all, "C" the identity check's read, "R" a read, "W" a
// write) and how it was answered: at once, "~" after its wait had run out,
// "x" never, "*" spoiled in time, "d" held back by the test on purpose. "H"
// and "S" are the reads of the hardware version and serial number beyond
// the blocks.

#include "latereplies.h"
#include "linkcases.h"

#include <QtTest>

namespace {

const int waitMs = 30;

QByteArray frameOf(const QString& name)
{
    if (name == "C")
        return Frames::read(237, 20);
    if (name == "R")
        return Frames::read(71, 1);
    if (name == "H")
        return Frames::read(1881, 1);
    if (name == "S")
        return Frames::read(2017, 1);
    if (name == "W")
        return Frames::write(229, {305});
    const int address = name.toInt();
    return Frames::read(address, address == 500 ? 11 : 125);
}

// Each send starts when the wait before it ran out. Each wait of a frame
// that ran out without its reply doubles the wait of its later sends.
QVector<LateReplies::Request> logOf(const QString& row)
{
    QVector<LateReplies::Request> log;
    double now = 0;
    QHash<QString, int> waits;
    for (const QString& token : row.split(' ')) {
        const QChar how = token.back().isDigit() || token.back().isUpper() ? QChar() : token.back();
        const QString name = how.isNull() ? token : token.chopped(1);
        LateReplies::Request request;
        request.entry = log.size();
        request.bytes = frameOf(name);
        request.sentMs = now;
        request.waitMs = waits.value(name, waitMs);
        if (how == '*')
            request.note = "bad CRC";
        if (how == 'd')
            request.note = "reply delayed 40 ms";
        request.answeredMs = how == 'x' ? -1
            : how == '~' || how == 'd'  ? now + request.waitMs + 10
                                        : now + 5;
        if (QString("~xd").contains(how))
            waits.insert(name, 2 * request.waitMs);
        now += request.waitMs;
        log << request;
    }
    return log;
}

QString namesOf(const QVector<LateReplies::Request>& requests)
{
    QStringList names;
    for (const auto& request : requests) {
        const QString frame = spaced(request.bytes);
        for (const char* name : {"C", "H", "S", "R", "W", "0", "125", "250", "375", "500"}) {
            if (spaced(frameOf(name)) == frame)
                names << name;
        }
    }
    return names.join(' ');
}

} // namespace

class TestLateReplies : public QObject
{
    Q_OBJECT

private slots:
    void takenInTime_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("counted");
        QTest::newRow("late answer sent again") << "0~ 0 125 250 375 500"
                                                << "0 125 250 375 500";
        QTest::newRow("spoiled in time") << "0* 0 125 250 375 500"
                                         << "0 0 125 250 375 500";
        QTest::newRow("lost on the line") << "0x 0 125 250 375 500"
                                          << "0 0 125 250 375 500";
        QTest::newRow("late, after a check") << "0 125~ C 125 250 375 500"
                                             << "0 125 250 375 500";
        QTest::newRow("blocks read again for a late one") << "0 125 250~ C 250 375 500 0 125"
                                                          << "0 125 250 375 500";
        QTest::newRow("read again, then the next read-all")
            << "0 125 250~ C 250 375 500 0 0 125 250 375 500"
            << "0 125 250 375 500 0 125 250 375 500";
        QTest::newRow("nothing read again, the next read-all")
            << "0 125 250~ C 250 375 500 0 125 250 375 500"
            << "0 125 250 375 500 0 125 250 375 500";
        QTest::newRow("the line failed too: what is read again stays")
            << "0 125 250~ C 250 375x C 375 500 0 125"
            << "0 125 250 375 C 375 500 0 125";
        // From firmware 6000 on the check reads the hardware version (H)
        // and serial number (S) as well, which a read-all reads after its
        // blocks.
        QTest::newRow("late hardware version, after a check") << "0 125 250 375 500 H~ C H S H S"
                                                              << "0 125 250 375 500 H S";
        QTest::newRow("a check's read sent again at once") << "0 C~ C H S 0"
                                                           << "0 C H S 0";
        QTest::newRow("held back on purpose") << "0 125d C 125 250 375 500"
                                              << "0 125 C 125 250 375 500";
        QTest::newRow("another's late answer spoils the next") << "R~ W W"
                                                               << "R W";
        QTest::newRow("sent twice, answered in time") << "W W R"
                                                      << "W W R";
    }
    void takenInTime()
    {
        QFETCH(QString, log);
        QTEST(namesOf(LateReplies::takenInTime(logOf(log))), "counted");
    }
};

QTEST_GUILESS_MAIN(TestLateReplies)
#include "tst_latereplies.moc"

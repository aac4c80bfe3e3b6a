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

const QStringList names = {"C", "H", "S", "R", "W", "0", "125", "250", "375", "500"};

// The frame of a name: one of the identity check, a read, a write, or the
// block of a read-all at that address.
QByteArray frameOf(const QString& name)
{
    const QVector<QByteArray> others = {Frames::read(237, 20), Frames::read(1881, 1),
                                        Frames::read(2017, 1), Frames::read(71, 1),
                                        Frames::write(229, {305})};
    const int address = name.toInt();
    return others.value(names.indexOf(name), Frames::read(address, address == 500 ? 11 : 125));
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
    QStringList found;
    for (const auto& request : requests) {
        for (const QString& name : names) {
            if (frameOf(name) == request.bytes)
                found << name;
        }
    }
    return found.join(' ');
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
        const auto row = [](const char* tag, const char* log, const char* counted) {
            QTest::newRow(tag) << QString(log) << QString(counted);
        };
        row("late answer sent again", "0~ 0 125 250 375 500", "0 125 250 375 500");
        row("spoiled in time", "0* 0 125 250 375 500", "0 0 125 250 375 500");
        row("lost on the line", "0x 0 125 250 375 500", "0 0 125 250 375 500");
        row("late, after a check", "0 125~ C 125 250 375 500", "0 125 250 375 500");
        row("blocks read again for a late one", "0 125 250~ C 250 375 500 0 125",
            "0 125 250 375 500");
        row("read again, then the next read-all", "0 125 250~ C 250 375 500 0 0 125 250 375 500",
            "0 125 250 375 500 0 125 250 375 500");
        row("nothing read again, the next read-all", "0 125 250~ C 250 375 500 0 125 250 375 500",
            "0 125 250 375 500 0 125 250 375 500");
        row("the line failed too: what is read again stays",
            "0 125 250~ C 250 375x C 375 500 0 125", "0 125 250 375 C 375 500 0 125");
        // From firmware 6000 on the check reads the hardware version (H)
        // and serial number (S) as well, which a read-all reads after its
        // blocks.
        row("late hardware version, after a check", "0 125 250 375 500 H~ C H S H S",
            "0 125 250 375 500 H S");
        row("a check's read sent again at once", "0 C~ C H S 0", "0 C H S 0");
        row("held back on purpose", "0 125d C 125 250 375 500", "0 125 C 125 250 375 500");
        row("another's late answer spoils the next", "R~ W W", "R W");
        row("sent twice, answered in time", "W W R", "W W R");
    }
    void takenInTime()
    {
        QFETCH(QString, log);
        QTEST(namesOf(LateReplies::takenInTime(logOf(log))), "counted");
    }
};

QTEST_GUILESS_MAIN(TestLateReplies)
#include "tst_latereplies.moc"

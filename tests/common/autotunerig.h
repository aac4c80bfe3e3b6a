#ifndef AUTOTUNERIG_H
#define AUTOTUNERIG_H

#include "parameter.h"
#include "simulatedlink.h"
#include "autotunelink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

// The sample controller on the simulator with a quick motor, read once into
// the model (so the model tracks unsaved values), in a scratch working
// directory that receives the test logs ("logs").
class AutotuneRig : public SimulatedLink
{
public:
    AutotuneRig()
    {
        QDir::setCurrent(dir.path());
        sim.loadImage(QStringLiteral(KELVARA_SIM_IMAGE));
        motor([](MotorBehaviour& m) { m.staticMs = 120, m.spinMs = 400; });
        link->readAll();
        waitFor(QStringLiteral("readAllComplete"));
        sim.setRegisterValue(511, 0);
        events.clear();
    }
    ~AutotuneRig() { QDir::setCurrent(previous); }

    void motor(const std::function<void(MotorBehaviour&)>& change)
    {
        MotorBehaviour behaviour = sim.motorBehaviour();
        change(behaviour);
        sim.setMotorBehaviour(behaviour);
    }

    // A register's value on both sides, as if it had been read.
    void setRegister(int address, int raw)
    {
        sim.setRegisterValue(address, raw);
        model->getParameter(address)->setRegisterValue(raw);
        model->setControllerRamToEdit(address);
    }

    // Test time that runs scale times faster than the wall clock.
    static AutotuneClock fastClock(int scale = 10) { return acceleratedClock(scale); }

    // Starts an autotune test and runs until it has ended and the link is
    // idle (a stop it queued last has gone out): "success", "error N", or
    // "still running".
    template<class Test, class Error>
    QString run(Test& test, void (Test::*success)(), void (Test::*failure)(Error),
                const std::function<void()>& start)
    {
        QString outcome;
        QObject::connect(&test, success, [&] { outcome = "success"; });
        QObject::connect(&test, failure, [&](Error e) { outcome = QString("error %1").arg(e); });
        start();
        const bool ended = QTest::qWaitFor([&] { return !outcome.isEmpty(); }, 15000);
        const bool idle =
            QTest::qWaitFor([&] { return link->getMode() == KelvaraCom::IdleMode; }, 10000);
        return ended && idle ? outcome : QString("still running");
    }

    // Every test log written so far, oldest first.
    QStringList logs() const
    {
        QStringList texts;
        const QDir folder(dir.filePath(QStringLiteral("logs")));
        for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
            QFile file(folder.filePath(name));
            file.open(QIODevice::ReadOnly | QIODevice::Text);
            texts << name + QLatin1Char('\n') + QString::fromUtf8(file.readAll());
        }
        return texts;
    }

    // Values written to a register, in order (function 16 frames).
    QList<int> writesTo(int address) const
    {
        QList<int> values;
        for (const QByteArray& frame : sim.requests()) {
            if (frame.size() < 9 || quint8(frame.at(1)) != 0x10)
                continue;
            const int first = (quint8(frame.at(2)) << 8) | quint8(frame.at(3));
            const int count = (quint8(frame.at(4)) << 8) | quint8(frame.at(5));
            if (address >= first && address < first + count)
                values << ((quint8(frame.at(7 + 2 * (address - first))) << 8)
                           | quint8(frame.at(8 + 2 * (address - first))));
        }
        return values;
    }

private:
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
};

// What a data row does to the rig before a run.
using RigSetup = std::function<void(AutotuneRig&)>;
Q_DECLARE_METATYPE(RigSetup)

#endif // AUTOTUNERIG_H

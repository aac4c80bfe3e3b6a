#ifndef SPINBOXWRAPPER_H
#define SPINBOXWRAPPER_H

#include <QObject>
#include <QString>

class QDoubleSpinBox;

// Shows a figure derived from two spin boxes in the suffix of one of them:
// the torque a phase current gives with the motor's Kv, the power or the
// multiplier an assist level gives. It never changes a value.
//
// Created without a parent; the owner keeps and frees it.
class SpinBoxWrapper : public QObject
{
    Q_OBJECT

public:
    enum WrapperType {
        Torque = 0,
        Multiplier = 1,
        Power = 2,
    };
    Q_ENUM(WrapperType)

    SpinBoxWrapper(QDoubleSpinBox* reference, QDoubleSpinBox* target,
                   SpinBoxWrapper::WrapperType type);

    // Only a different kind takes effect, with its reference box; the same
    // kind keeps the reference it has.
    void changeWrapperType(SpinBoxWrapper::WrapperType type, QDoubleSpinBox* reference);
    SpinBoxWrapper::WrapperType wrapperType() const { return type; }

public slots:
    void spinBoxUpdateTorque();
    void spinBoxUpdateMultiplier();
    void spinBoxUpdatePower();

private:
    using UpdateSlot = void (SpinBoxWrapper::*)();
    // Null for a value outside the three kinds.
    static UpdateSlot updateSlotFor(SpinBoxWrapper::WrapperType kind);
    void connectBoxes();
    void disconnectBoxes();
    void showFigure(QString (*figure)(double target, double reference, const QString& baseSuffix));

    QDoubleSpinBox* reference;
    QDoubleSpinBox* target;
    QString baseSuffix;
    SpinBoxWrapper::WrapperType type;
};

#endif // SPINBOXWRAPPER_H

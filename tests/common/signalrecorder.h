#ifndef SIGNALRECORDER_H
#define SIGNALRECORDER_H

#include "parameter.h"

#include <QObject>
#include <QStringList>

// Records the signals of one parameter in order, e.g.
// "valueChanged", "displayChanged(70)", "valueSet".
class SignalRecorder
{
public:
    explicit SignalRecorder(Parameter* parameter)
    {
        m_connections << QObject::connect(parameter, &Parameter::valueChanged, [this] {
            m_signals << "valueChanged";
        }) << QObject::connect(parameter, &Parameter::displayChanged, [this](double v) {
            m_signals << QString("displayChanged(%1)").arg(v);
        }) << QObject::connect(parameter, &Parameter::valueSet, [this] {
            m_signals << "valueSet";
        });
    }

    ~SignalRecorder()
    {
        for (const auto& connection : qAsConst(m_connections))
            QObject::disconnect(connection);
    }

    QStringList take()
    {
        const QStringList recorded = m_signals;
        m_signals.clear();
        return recorded;
    }

private:
    QStringList m_signals;
    QList<QMetaObject::Connection> m_connections;
};

#endif // SIGNALRECORDER_H

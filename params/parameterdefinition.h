#ifndef PARAMETERDEFINITION_H
#define PARAMETERDEFINITION_H

#include <QMap>
#include <QObject>
#include <QString>

// The static description of one controller register, as read from a
// definition file. Owns its bit and enum label maps.
class ParameterDefinition : public QObject
{
public:
    enum Type {
        TypeIndependent = 0,
        TypeDependent = 1, // its formulas refer to other registers
        TypeEnum = 2,
        TypeBitVector = 3
    };

    ParameterDefinition(const QString& name, int address, int defaultValue, const QString& scale,
                        const QString& units, const QString& min, const QString& max,
                        const QString& offset, int decimals, bool isSigned, bool read, bool write,
                        bool saved, QMap<int, QString>* bitDefs, QMap<int, QString>* enumDefs,
                        Type type, int accessLevel, double singleStep, const QString& tooltip,
                        QObject* parent = nullptr);
    ~ParameterDefinition() override;

    QString getName() const { return m_name; }
    int getAddress() const { return m_address; }
    QString getScaling() const { return m_scale; }
    QString getUnits() const { return m_units; }
    QString getMin() const { return m_min; }
    QString getMax() const { return m_max; }
    QString getOffset() const { return m_offset; }
    QString getTooltip() const { return m_tooltip; }
    bool isSigned() const { return m_isSigned; }
    bool isWriteable() const { return m_write; }
    bool isSavable() const { return m_saved; }
    int numDecimals() const { return m_decimals; }
    double getSingleStep() const { return m_singleStep; }
    Type getType() const { return m_type; }
    int getLevel() const { return m_accessLevel; }
    QMap<int, QString>* getBitDefs() const { return m_bitDefs; }
    QMap<int, QString>* getEnumDefs() const { return m_enumDefs; }

    void setName(const QString& name) { m_name = name; }
    // Takes effect only when the formulas are parsed again.
    void setMax(const QString& max) { m_max = max; }

private:
    Q_DISABLE_COPY(ParameterDefinition)

    QString m_name;
    int m_address;
    // Kept as the definition file gives it; nothing reads it (nor m_read) yet.
    [[maybe_unused]] int m_default;
    double m_singleStep;
    QString m_scale;
    QString m_units;
    QString m_min;
    QString m_max;
    QString m_offset;
    int m_decimals;
    bool m_isSigned;
    [[maybe_unused]] bool m_read;
    bool m_write;
    bool m_saved;
    QMap<int, QString>* m_bitDefs;
    QMap<int, QString>* m_enumDefs;
    Type m_type;
    int m_accessLevel;
    QString m_tooltip;
};

#endif // PARAMETERDEFINITION_H

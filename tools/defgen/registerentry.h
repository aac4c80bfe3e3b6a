#ifndef REGISTERENTRY_H
#define REGISTERENTRY_H

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// One register of the annotated source: the definition members written to
// the definition files, plus where it is shown and its two value sets.
struct RegisterEntry
{
    int address = -1;
    QString name;
    QString units;
    QString scale;
    QString min;
    QString max;
    int decimals = 0;
    std::optional<double> singleStep;
    QString tooltip;
    bool isSigned = false;
    bool read = true;
    bool write = false;
    bool saved = false;
    std::optional<QMap<int, QString>> bitDefs;
    std::optional<QMap<int, QString>> enumDefs;
    QString type;
    int accessLevel = 3;

    QStringList rows;                // pages whose spin boxes show it
    QString beyondRowRange;          // why its limits may exceed those boxes
    std::optional<double> initial;   // display value in the initial values
    std::optional<double> simulator; // display value in the simulator image

    // Type code as the suite reads the type word (compared exactly).
    int typeCode() const
    {
        if (type == QLatin1String("enum"))
            return 2;
        if (type == QLatin1String("bit vector"))
            return 3;
        if (type == QLatin1String("dependent"))
            return 1;
        return 0;
    }

    bool isNumeric() const { return typeCode() < 2; }
};

#endif // REGISTERENTRY_H

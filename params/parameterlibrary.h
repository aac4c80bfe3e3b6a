#ifndef PARAMETERLIBRARY_H
#define PARAMETERLIBRARY_H

#include <QMap>
#include <QObject>
#include <QString>

class ParameterDefinition;
class QJsonObject;

// Reads one parameter definition file (a JSON object keyed by register
// address) into a map of definitions. Any error leaves the library unparsed
// with an empty map; lookups then yield the fallback definition "invalid".
class ParameterLibrary : public QObject
{
public:
    explicit ParameterLibrary(const QString& path, QObject* parent = nullptr);
    ~ParameterLibrary() override;

    void parseJSON();
    void abortParse(const char* message);

    // Never null: unknown addresses give the fallback definition.
    ParameterDefinition* getParameterDefinition(int address) const;
    QMap<int, ParameterDefinition*> getAllDefinitions() const;
    bool isParsed() const { return m_parsed; }

private:
    Q_DISABLE_COPY(ParameterLibrary)

    bool parseEntry(int address, const QJsonObject& entry);
    void clearDefinitions();

    QString m_path;
    bool m_parsed = false;
    QMap<int, ParameterDefinition*> m_definitions;
    ParameterDefinition* m_fallback;
};

#endif // PARAMETERLIBRARY_H

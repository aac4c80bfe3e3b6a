#include "parameterlibrary.h"

#include "numericconversion.h"
#include "parameterconstants.h"
#include "parameterdefinition.h"
#include "stdoutline.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// A number written where a formula text is expected becomes a text the
// formula grammar can read: six significant digits, but never an exponent
// ("1e+06"), which the grammar would take for an operator.
QString formulaTextFromNumber(double value)
{
    const QString general = QString::number(value, 'g', 6);
    if (!general.contains(QLatin1Char('e')))
        return general;
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    const int decimals = qMax(0, 5 - magnitude);
    QString fixed = QString::number(value, 'f', decimals);
    if (fixed.contains(QLatin1Char('.'))) {
        while (fixed.endsWith(QLatin1Char('0')))
            fixed.chop(1);
        if (fixed.endsWith(QLatin1Char('.')))
            fixed.chop(1);
    }
    return fixed;
}

QString formulaMember(const QJsonObject& entry, const QString& key, const QString& fallback)
{
    const QJsonValue value = entry.value(key);
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return formulaTextFromNumber(value.toDouble());
    return fallback;
}

QMap<int, QString>* labelMap(const QJsonObject& entry, const QString& key)
{
    const QJsonValue value = entry.value(key);
    if (!value.isObject())
        return nullptr;
    auto* labels = new QMap<int, QString>;
    const QJsonObject object = value.toObject();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        labels->insert(it.key().toInt(nullptr, 10), it.value().toString());
    return labels;
}

ParameterDefinition::Type typeFromWord(const QJsonValue& value)
{
    if (!value.isString())
        return ParameterDefinition::TypeIndependent;
    const QString word = value.toString();
    if (word == typeEnum)
        return ParameterDefinition::TypeEnum;
    if (word == typeBitVector)
        return ParameterDefinition::TypeBitVector;
    if (word == typeDependent)
        return ParameterDefinition::TypeDependent;
    return ParameterDefinition::TypeIndependent;
}

} // namespace

ParameterLibrary::ParameterLibrary(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_fallback(new ParameterDefinition(QStringLiteral("invalid"), 0, 0, QStringLiteral("1"),
                                         QString(), QString(), QString(), QStringLiteral("0"), 0,
                                         false, false, false, false, nullptr, nullptr,
                                         ParameterDefinition::TypeIndependent, 3, 1.0, QString()))
{
    parseJSON();
}

ParameterLibrary::~ParameterLibrary()
{
    clearDefinitions();
    delete m_fallback;
}

void ParameterLibrary::parseJSON()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        printStdoutLine(QStringLiteral("Could not open JSON file."));
        abortParse(QString(QStringLiteral("Error: ") + file.errorString()).toUtf8().constData());
        return;
    }
    const QByteArray content = file.readAll();
    file.close();

    const QJsonDocument document = QJsonDocument::fromJson(content);
    if (!document.isObject()) {
        abortParse("Document is not object. Abort.");
        return;
    }

    const QJsonObject top = document.object();
    const QStringList keys = top.keys();
    for (const QString& key : keys) {
        const QJsonValue value = top.value(key);
        if (!value.isObject()) {
            abortParse("Parameter is not object. Abort.");
            return;
        }
        if (!parseEntry(key.toInt(nullptr, 10), value.toObject()))
            return;
    }
    m_parsed = true;
}

bool ParameterLibrary::parseEntry(int address, const QJsonObject& entry)
{
    const QJsonValue name = entry.value(jsonName);
    if (!name.isString()) {
        abortParse("Incorrect parameter item type (name). Abort.");
        return false;
    }
    const QJsonValue read = entry.value(jsonRead);
    if (!read.isBool()) {
        abortParse("Incorrect parameter item type (readable). Abort.");
        return false;
    }
    const QJsonValue write = entry.value(jsonWrite);
    if (!write.isBool()) {
        abortParse("Incorrect parameter item type (writeable). Abort.");
        return false;
    }
    const QJsonValue saved = entry.value(jsonSaved);
    if (!saved.isBool()) {
        abortParse("Incorrect parameter item type (saved). Abort.");
        return false;
    }

    const QJsonValue defaultValue = entry.value(jsonDefault);
    const int defaultNumber = defaultValue.isDouble() ? truncateToInt(defaultValue.toDouble()) : -1;
    const QString scale = formulaMember(entry, jsonScale, QStringLiteral("1"));
    const QJsonValue units = entry.value(jsonUnits);
    const QString min = formulaMember(entry, jsonMin, QString());
    const QString max = formulaMember(entry, jsonMax, QString());
    const QJsonValue offset = entry.value(jsonOffset);
    // Without "decimals", a scaled register shows two decimals; the decision
    // uses the scale text as written, before an empty one becomes "1".
    const QJsonValue decimals = entry.value(jsonDecimals);
    const int decimalCount = decimals.isDouble() ? truncateToInt(decimals.toDouble())
                                                 : (scale != QLatin1String("1") ? 2 : 0);
    const QJsonValue singleStep = entry.value(jsonSingleStep);
    const QJsonValue tooltip = entry.value(jsonTooltip);
    const QJsonValue isSigned = entry.value(jsonIsSigned);
    QMap<int, QString>* bitDefs = labelMap(entry, jsonBitDefs);
    QMap<int, QString>* enumDefs = labelMap(entry, jsonEnumDefs);
    const ParameterDefinition::Type type = typeFromWord(entry.value(jsonType));
    const QJsonValue accessLevel = entry.value(jsonAccessLevel);

    auto* definition = new ParameterDefinition(
        name.toString(), address, defaultNumber, scale,
        units.isString() ? units.toString() : QString(), min, max,
        offset.isString() ? offset.toString() : QStringLiteral("0"), decimalCount,
        isSigned.isBool() && isSigned.toBool(), read.toBool(), write.toBool(), saved.toBool(),
        bitDefs, enumDefs, type, accessLevel.isDouble() ? truncateToInt(accessLevel.toDouble()) : 3,
        singleStep.isDouble() ? singleStep.toDouble() : 1.0,
        tooltip.isString() ? tooltip.toString() : QString());

    // Keys such as "7" and "07" name one address; the later key wins.
    delete m_definitions.value(address, nullptr);
    m_definitions.insert(address, definition);
    return true;
}

void ParameterLibrary::abortParse(const char* message)
{
    if (message)
        printStdoutLine(QString::fromUtf8(message));
    m_parsed = false;
    clearDefinitions();
}

void ParameterLibrary::clearDefinitions()
{
    qDeleteAll(m_definitions);
    m_definitions.clear();
}

ParameterDefinition* ParameterLibrary::getParameterDefinition(int address) const
{
    if (!m_parsed)
        return m_fallback;
    return m_definitions.value(address, m_fallback);
}

QMap<int, ParameterDefinition*> ParameterLibrary::getAllDefinitions() const
{
    return m_definitions;
}

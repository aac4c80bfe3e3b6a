#include "registersource.h"

#include "formulaexpression.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <cmath>

namespace {

const QStringList knownMembers = {
    "address",  "name",        "units",      "scale",   "min",     "max",
    "decimals", "singleStep",  "isSigned",   "read",    "write",   "saved",
    "type",     "accessLevel", "enumDefs",   "bitDefs", "tooltip", "rows",
    "initial",  "simulator",   "documented", "chosen",  "note",    "beyondRowRange"};

// Attributes whose origin the documented and chosen lists account for.
const QStringList accountedMembers = {
    "name", "units", "scale", "min",  "max",         "decimals", "singleStep", "isSigned",
    "read", "write", "saved", "type", "accessLevel", "tooltip",  "initial",    "simulator"};

const QStringList knownRows = {"basic", "advanced", "temperature", "pas", "dashboard", "autotune"};

bool isWholeNumber(const QJsonValue& value)
{
    return value.isDouble() && std::trunc(value.toDouble()) == value.toDouble();
}

} // namespace

bool RegisterSource::load(const QString& path)
{
    registers.clear();
    problems.clear();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problems << QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject() || !document.object().value("registers").isArray()) {
        problems << QStringLiteral("%1: not an object with a \"registers\" array (%2)")
                        .arg(path, parseError.errorString());
        return false;
    }

    for (const QJsonValue& value : document.object().value("registers").toArray()) {
        if (!value.isObject()) {
            problems << QStringLiteral("a register entry is not an object");
            continue;
        }
        readEntry(value.toObject());
    }

    for (int i = 1; i < registers.size(); ++i) {
        if (registers.at(i).address <= registers.at(i - 1).address)
            fail(registers.at(i).address, QStringLiteral("addresses must ascend without repeats"));
    }
    for (const RegisterEntry& entry : registers) {
        checkFormulas(entry);
        checkLabels(entry);
    }
    return problems.isEmpty();
}

void RegisterSource::readEntry(const QJsonObject& object)
{
    RegisterEntry entry;
    const QJsonValue address = object.value("address");
    if (!isWholeNumber(address) || address.toInt() < 0 || address.toInt() > 2047) {
        problems << QStringLiteral("an entry has no address between 0 and 2047");
        return;
    }
    entry.address = address.toInt();

    for (const QString& key : object.keys()) {
        if (!knownMembers.contains(key))
            fail(entry.address, QStringLiteral("unknown member \"%1\"").arg(key));
    }

    auto text = [&](const char* key, bool required) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isString())
            return value.toString();
        if (required || !value.isUndefined())
            fail(entry.address, QStringLiteral("\"%1\" must be a string").arg(QLatin1String(key)));
        return QString();
    };
    auto flag = [&](const char* key) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isBool())
            fail(entry.address,
                 QStringLiteral("\"%1\" must be true or false").arg(QLatin1String(key)));
        return value.toBool();
    };
    auto whole = [&](const char* key, int low, int high) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!isWholeNumber(value) || value.toInt() < low || value.toInt() > high)
            fail(entry.address,
                 QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                     .arg(QLatin1String(key))
                     .arg(low)
                     .arg(high));
        return value.toInt();
    };
    auto optionalNumber = [&](const char* key) -> std::optional<double> {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::nullopt;
        if (!value.isDouble()) {
            fail(entry.address, QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key)));
            return std::nullopt;
        }
        return value.toDouble();
    };
    auto labels = [&](const char* key) -> std::optional<QMap<int, QString>> {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::nullopt;
        QMap<int, QString> map;
        if (!value.isObject()) {
            fail(entry.address, QStringLiteral("\"%1\" must be an object").arg(QLatin1String(key)));
            return map;
        }
        const QJsonObject members = value.toObject();
        for (auto it = members.begin(); it != members.end(); ++it) {
            bool ok = false;
            const int number = it.key().toInt(&ok, 10);
            if (!ok || !it.value().isString() || it.value().toString().isEmpty())
                fail(entry.address,
                     QStringLiteral("\"%1\" needs decimal keys and non-empty labels")
                         .arg(QLatin1String(key)));
            else
                map.insert(number, it.value().toString());
        }
        return map;
    };

    entry.name = text("name", true);
    if (entry.name.isEmpty())
        fail(entry.address, QStringLiteral("empty name"));
    entry.units = text("units", false);
    entry.scale = text("scale", true);
    if (entry.scale.isEmpty())
        fail(entry.address, QStringLiteral("empty scale"));
    entry.min = text("min", false);
    entry.max = text("max", false);
    entry.decimals = whole("decimals", 0, 6);
    entry.singleStep = optionalNumber("singleStep");
    if (entry.singleStep && *entry.singleStep <= 0.0)
        fail(entry.address, QStringLiteral("\"singleStep\" must be positive"));
    entry.tooltip = text("tooltip", false);
    entry.isSigned = flag("isSigned");
    entry.read = flag("read");
    entry.write = flag("write");
    entry.saved = flag("saved");
    entry.type = text("type", true);
    entry.accessLevel = whole("accessLevel", 0, 3);
    entry.enumDefs = labels("enumDefs");
    entry.bitDefs = labels("bitDefs");
    entry.beyondRowRange = text("beyondRowRange", false);
    entry.initial = optionalNumber("initial");
    entry.simulator = optionalNumber("simulator");

    const QJsonValue rows = object.value("rows");
    if (!rows.isUndefined() && !rows.isArray())
        fail(entry.address, QStringLiteral("\"rows\" must be an array"));
    for (const QJsonValue& row : rows.toArray()) {
        if (!knownRows.contains(row.toString()))
            fail(entry.address,
                 QStringLiteral("unknown page \"%1\" in \"rows\"").arg(row.toString()));
        entry.rows << row.toString();
    }

    checkBookkeeping(entry, object);
    registers << entry;
}

void RegisterSource::checkFormulas(const RegisterEntry& entry)
{
    QSet<int> addresses;
    for (const RegisterEntry& other : registers)
        addresses.insert(other.address);

    bool refersToOthers = false;
    const QList<QPair<const char*, QString>> formulas = {
        {"scale", entry.scale}, {"min", entry.min}, {"max", entry.max}};
    for (const auto& formula : formulas) {
        if (formula.second.isEmpty())
            continue;
        FormulaExpression expression;
        QString error;
        if (!expression.parse(formula.second, &error)) {
            fail(entry.address,
                 QStringLiteral("%1 \"%2\": %3")
                     .arg(QLatin1String(formula.first), formula.second, error));
            continue;
        }
        for (int reference : expression.references()) {
            refersToOthers = true;
            if (!addresses.contains(reference))
                fail(entry.address,
                     QStringLiteral("%1 refers to undefined register %2")
                         .arg(QLatin1String(formula.first))
                         .arg(reference));
            // A read of all registers stores them in ascending order; a
            // reference to a higher address would be applied too late.
            else if (reference >= entry.address)
                fail(entry.address,
                     QStringLiteral("%1 refers to register %2, which is not below it")
                         .arg(QLatin1String(formula.first))
                         .arg(reference));
        }
    }
    if (entry.typeCode() == 1 && !refersToOthers)
        fail(entry.address, QStringLiteral("type \"dependent\" without any register reference"));
}

void RegisterSource::checkLabels(const RegisterEntry& entry)
{
    const int code = entry.typeCode();
    if (code >= 2) {
        if (entry.scale != QLatin1String("1") || !entry.min.isEmpty() || !entry.max.isEmpty())
            fail(entry.address,
                 QStringLiteral("enum and bit-vector registers have scale \"1\" and no limits"));
        if (entry.decimals != 0)
            fail(entry.address, QStringLiteral("enum and bit-vector registers have 0 decimals"));
    }
    if (code == 2) {
        if (!entry.enumDefs || entry.enumDefs->isEmpty())
            fail(entry.address, QStringLiteral("enum register without \"enumDefs\""));
        else if (entry.enumDefs->firstKey() < 0)
            fail(entry.address, QStringLiteral("enum keys must not be negative"));
    } else if (entry.enumDefs) {
        fail(entry.address, QStringLiteral("\"enumDefs\" on a register that is not an enum"));
    }
    if (code == 3) {
        if (!entry.bitDefs || entry.bitDefs->isEmpty())
            fail(entry.address, QStringLiteral("bit-vector register without \"bitDefs\""));
        else if (entry.bitDefs->firstKey() < 0 || entry.bitDefs->lastKey() > 15)
            fail(entry.address, QStringLiteral("bit numbers run from 0 to 15"));
    } else if (entry.bitDefs) {
        fail(entry.address, QStringLiteral("\"bitDefs\" on a register that is not a bit vector"));
    }
}

void RegisterSource::checkBookkeeping(const RegisterEntry& entry, const QJsonObject& object)
{
    static const QRegularExpression labelItem(
        QStringLiteral("^(enumDefs|bitDefs)\\[(\\d+(,\\d+)*)\\]$"));

    QStringList plain;
    QMap<QString, QList<int>> labelKeys;
    for (const char* listName : {"documented", "chosen"}) {
        const QJsonValue list = object.value(QLatin1String(listName));
        if (!list.isArray()) {
            fail(entry.address,
                 QStringLiteral("\"%1\" must be an array").arg(QLatin1String(listName)));
            continue;
        }
        for (const QJsonValue& item : list.toArray()) {
            const QString name = item.toString();
            const QRegularExpressionMatch match = labelItem.match(name);
            if (match.hasMatch()) {
                for (const QString& key : match.captured(2).split(QLatin1Char(',')))
                    labelKeys[match.captured(1)] << key.toInt();
            } else if (accountedMembers.contains(name)) {
                plain << name;
            } else {
                fail(entry.address, QStringLiteral("\"%1\" is no attribute").arg(name));
            }
        }
    }

    for (const QString& member : accountedMembers) {
        const int count = plain.count(member);
        const bool present = object.contains(member);
        if (present && count != 1)
            fail(entry.address,
                 QStringLiteral("\"%1\" must be listed once as documented or chosen").arg(member));
        if (!present && count > 0)
            fail(entry.address, QStringLiteral("\"%1\" is listed but not given").arg(member));
    }
    const QList<QPair<QString, const std::optional<QMap<int, QString>>*>> maps = {
        {QStringLiteral("enumDefs"), &entry.enumDefs}, {QStringLiteral("bitDefs"), &entry.bitDefs}};
    for (const auto& map : maps) {
        QList<int> listed = labelKeys.value(map.first);
        std::sort(listed.begin(), listed.end());
        const QList<int> given = map.second->has_value() ? (*map.second)->keys() : QList<int>();
        if (listed != given)
            fail(entry.address,
                 QStringLiteral(
                     "the keys of \"%1\" must each be listed once as documented or chosen")
                     .arg(map.first));
    }
}

void RegisterSource::fail(int address, const QString& message)
{
    problems << QStringLiteral("register %1: %2").arg(address).arg(message);
}

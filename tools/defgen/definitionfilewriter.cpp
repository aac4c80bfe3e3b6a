#include "definitionfilewriter.h"

#include <QStringList>

namespace {

const QByteArray memberIndent("        ");

QByteArray member(const char* name, const QByteArray& value)
{
    return memberIndent + '"' + name + "\": " + value;
}

QByteArray boolean(bool value)
{
    return value ? QByteArray("true") : QByteArray("false");
}

} // namespace

QByteArray DefinitionFileWriter::toJson(const QList<RegisterEntry>& entries)
{
    QByteArray json("{\n");
    for (int i = 0; i < entries.size(); ++i) {
        json += "    \"" + QByteArray::number(entries.at(i).address)
            + "\": " + entryToJson(entries.at(i));
        json += i + 1 < entries.size() ? ",\n" : "\n";
    }
    json += "}\n";
    return json;
}

QByteArray DefinitionFileWriter::entryToJson(const RegisterEntry& entry)
{
    QList<QByteArray> members;
    members << member("name", quoted(entry.name));
    members << member("read", boolean(entry.read));
    members << member("write", boolean(entry.write));
    members << member("saved", boolean(entry.saved));
    members << member("scale", quoted(entry.scale));
    if (!entry.units.isEmpty())
        members << member("units", quoted(entry.units));
    if (!entry.min.isEmpty())
        members << member("min", quoted(entry.min));
    if (!entry.max.isEmpty())
        members << member("max", quoted(entry.max));
    members << member("decimals", QByteArray::number(entry.decimals));
    if (entry.singleStep)
        members << member("singleStep", QByteArray::number(*entry.singleStep, 'g', 12));
    if (!entry.tooltip.isEmpty())
        members << member("tooltip", quoted(entry.tooltip));
    members << member("isSigned", boolean(entry.isSigned));
    if (entry.bitDefs)
        members << member("bitDefs", labelsToJson(*entry.bitDefs));
    if (entry.enumDefs)
        members << member("enumDefs", labelsToJson(*entry.enumDefs));
    members << member("type", quoted(entry.type));
    members << member("accessLevel", QByteArray::number(entry.accessLevel));

    QByteArray json("{\n");
    for (int i = 0; i < members.size(); ++i)
        json += members.at(i) + (i + 1 < members.size() ? ",\n" : "\n");
    return json + "    }";
}

QByteArray DefinitionFileWriter::labelsToJson(const QMap<int, QString>& labels)
{
    QByteArray json("{\n");
    for (auto it = labels.begin(); it != labels.end(); ++it) {
        json +=
            memberIndent + "    \"" + QByteArray::number(it.key()) + "\": " + quoted(it.value());
        json += std::next(it) != labels.end() ? ",\n" : "\n";
    }
    return json + memberIndent + "}";
}

QByteArray DefinitionFileWriter::quoted(const QString& text)
{
    QString json(QLatin1Char('"'));
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            json += QLatin1String("\\\"");
            break;
        case '\\':
            json += QLatin1String("\\\\");
            break;
        case '\n':
            json += QLatin1String("\\n");
            break;
        case '\r':
            json += QLatin1String("\\r");
            break;
        case '\t':
            json += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                json += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                json += c;
        }
    }
    json += QLatin1Char('"');
    return json.toUtf8();
}

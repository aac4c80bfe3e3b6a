#include "registerimage.h"

#include "simulatedcontroller.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace {

bool parseInteger(const QString& text, qint64* number)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    if (trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        *number = trimmed.mid(2).toLongLong(&ok, 16);
    else
        *number = trimmed.toLongLong(&ok, 10);
    return ok;
}

} // namespace

bool RegisterImage::parseValue(const QString& text, quint16* value)
{
    qint64 number = 0;
    if (!parseInteger(text, &number) || number < -32768 || number > 65535)
        return false;
    *value = static_cast<quint16>(number & 0xFFFF);
    return true;
}

bool RegisterImage::parseAddress(const QString& text, int* address)
{
    qint64 number = 0;
    if (!parseInteger(text, &number) || number < 0 || number >= SimulatedController::RegisterCount)
        return false;
    *address = static_cast<int>(number);
    return true;
}

bool RegisterImage::parseAssignment(const QString& text, int* address, quint16* value,
                                    QString* error)
{
    const int separator = text.indexOf(QLatin1Char('='));
    if (separator < 0) {
        *error = QStringLiteral("\"%1\" is not of the form ADDRESS=VALUE").arg(text);
        return false;
    }
    if (!parseAddress(text.left(separator), address)) {
        *error = QStringLiteral("\"%1\": the address must be a whole number from 0 to %2")
                     .arg(text)
                     .arg(SimulatedController::RegisterCount - 1);
        return false;
    }
    if (!parseValue(text.mid(separator + 1), value)) {
        *error = QStringLiteral("\"%1\": the value must be a whole number from -32768 to 65535")
                     .arg(text);
        return false;
    }
    return true;
}

bool RegisterImage::load(const QString& fileName, Values* values, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(fileName, file.errorString());
        return false;
    }
    QString parseError;
    if (!parse(file.readAll(), values, &parseError)) {
        *error = QStringLiteral("%1: %2").arg(fileName, parseError);
        return false;
    }
    return true;
}

bool RegisterImage::parse(const QByteArray& data, Values* values, QString* error)
{
    if (data.trimmed().startsWith('<'))
        return parseXml(data, values, error);
    return parseText(data, values, error);
}

bool RegisterImage::parseXml(const QByteArray& data, Values* values, QString* error)
{
    Values parsed;
    QXmlStreamReader xml(data);
    bool inEntry = false;
    QString address;
    QString value;

    auto fail = [&](const QString& what) {
        *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(what);
        return false;
    };

    if (!xml.readNextStartElement())
        return fail(QStringLiteral("no XML element found"));
    if (xml.name() != QLatin1String("ArrayOfSerializableParameter"))
        return fail(QStringLiteral("the root element must be ArrayOfSerializableParameter"));

    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("SerializableParameter")) {
                inEntry = true;
                address.clear();
                value.clear();
            } else if (inEntry && xml.name() == QLatin1String("Address")) {
                address = xml.readElementText();
            } else if (inEntry && xml.name() == QLatin1String("Value")) {
                value = xml.readElementText();
            } else {
                xml.skipCurrentElement();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("SerializableParameter")) {
            inEntry = false;
            int registerAddress = 0;
            quint16 registerValue = 0;
            if (!parseAddress(address, &registerAddress))
                return fail(QStringLiteral("bad or missing Address \"%1\"").arg(address));
            if (!parseValue(value, &registerValue))
                return fail(QStringLiteral("bad or missing Value \"%1\" for address %2")
                                .arg(value)
                                .arg(registerAddress));
            parsed.insert(registerAddress, registerValue);
        }
    }
    if (xml.hasError())
        return fail(xml.errorString());

    for (auto it = parsed.cbegin(); it != parsed.cend(); ++it)
        values->insert(it.key(), it.value());
    return true;
}

bool RegisterImage::parseText(const QByteArray& data, Values* values, QString* error)
{
    Values parsed;
    const QList<QByteArray> lines = data.split('\n');
    static const QRegularExpression separators(QStringLiteral("[\\s=,;]+"));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines.at(i));
        const int comment = line.indexOf(QLatin1Char('#'));
        if (comment >= 0)
            line.truncate(comment);
        const QStringList fields = line.split(separators, Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        int address = 0;
        quint16 value = 0;
        if (fields.size() != 2 || !parseAddress(fields.at(0), &address)
            || !parseValue(fields.at(1), &value)) {
            *error =
                QStringLiteral("line %1: expected \"address value\" with an address from 0 to %2 "
                               "and a value from -32768 to 65535, found \"%3\"")
                    .arg(i + 1)
                    .arg(SimulatedController::RegisterCount - 1)
                    .arg(line.trimmed());
            return false;
        }
        parsed.insert(address, value);
    }
    for (auto it = parsed.cbegin(); it != parsed.cend(); ++it)
        values->insert(it.key(), it.value());
    return true;
}

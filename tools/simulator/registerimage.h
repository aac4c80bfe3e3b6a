#ifndef REGISTERIMAGE_H
#define REGISTERIMAGE_H

#include <QByteArray>
#include <QMap>
#include <QString>

// Register values read from a parameter file (root
// "ArrayOfSerializableParameter", one "SerializableParameter" with
// "Address" and "Value" each) or from plain text, one "address value" a
// line, "#" starting a comment. Values run from -32768 to 65535; negative
// ones are stored in two's complement.
class RegisterImage
{
public:
    using Values = QMap<int, quint16>;

    // On failure values is left untouched and error says what and where.
    static bool parse(const QByteArray& data, Values* values, QString* error);
    static bool load(const QString& fileName, Values* values, QString* error);

    // "ADDR=VALUE", as given on a command line.
    static bool parseAssignment(const QString& text, int* address, quint16* value, QString* error);

    // Decimal, or hexadecimal after "0x".
    static bool parseValue(const QString& text, quint16* value);
    static bool parseAddress(const QString& text, int* address);

private:
    static bool parseXml(const QByteArray& data, Values* values, QString* error);
    static bool parseText(const QByteArray& data, Values* values, QString* error);
};

#endif // REGISTERIMAGE_H

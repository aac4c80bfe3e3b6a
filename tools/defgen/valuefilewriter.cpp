#include "valuefilewriter.h"

#include <QBuffer>
#include <QXmlStreamWriter>

QByteArray ValueFileWriter::toXml(const QList<QPair<int, int>>& values)
{
    QByteArray xml;
    QBuffer buffer(&xml);
    buffer.open(QIODevice::WriteOnly);

    QXmlStreamWriter writer(&buffer);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(4);
    writer.writeStartDocument();
    writer.writeStartElement(QStringLiteral("ArrayOfSerializableParameter"));
    writer.writeAttribute(QStringLiteral("xmlns:xsi"),
                          QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"));
    writer.writeAttribute(QStringLiteral("xmlns:xsd"),
                          QStringLiteral("http://www.w3.org/2001/XMLSchema"));
    for (const auto& value : values) {
        writer.writeStartElement(QStringLiteral("SerializableParameter"));
        writer.writeTextElement(QStringLiteral("Address"), QString::number(value.first));
        writer.writeTextElement(QStringLiteral("Value"), QString::number(value.second));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

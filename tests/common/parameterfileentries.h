#ifndef PARAMETERFILEENTRIES_H
#define PARAMETERFILEENTRIES_H

// Reads a parameter file the plain way, independent of the suite's reader.

#include <QFile>
#include <QList>
#include <QPair>
#include <QXmlStreamReader>

// Address -> Value of every entry of a parameter file, in file order; -1
// addresses mark a file that could not be read.
inline QList<QPair<int, int>> fileEntries(const QString& path)
{
    QList<QPair<int, int>> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{-1, 0}};
    QXmlStreamReader xml(&file);
    int address = -1;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("Address"))
            address = xml.readElementText().toInt();
        else if (xml.name() == QLatin1String("Value"))
            entries << qMakePair(address, xml.readElementText().toInt());
    }
    if (xml.hasError())
        entries << qMakePair(-1, 0);
    return entries;
}

#endif // PARAMETERFILEENTRIES_H

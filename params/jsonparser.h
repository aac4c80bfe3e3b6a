#ifndef JSONPARSER_H
#define JSONPARSER_H

#include <QJsonObject>
#include <QWidget>

// Turns bytes into the top-level JSON object they hold. The suite builds
// it but does not use it: ParameterLibrary reads its files by itself.
class JsonParser : public QWidget
{
    Q_OBJECT

public:
    explicit JsonParser(QWidget* parent = nullptr);

    // An empty object when the bytes are not a JSON object.
    QJsonObject readJson(const QByteArray& bytes) const;
};

#endif // JSONPARSER_H

#include "jsonparser.h"

#include <QJsonDocument>

JsonParser::JsonParser(QWidget* parent)
    : QWidget(parent)
{
}

QJsonObject JsonParser::readJson(const QByteArray& bytes) const
{
    return QJsonDocument::fromJson(bytes).object();
}

#include "indexpage.h"

#include <QRegularExpression>

QString IndexPage::textUpToNul(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

IndexPage::Result IndexPage::read(const QByteArray& body, QStringList* files, QStringList* folders)
{
    static const QRegularExpression list(QStringLiteral("<ul>([\\s\\S]+?)<\\/ul>"));
    static const QRegularExpression entry(
        QStringLiteral("<a[\\s\\S]*?>[\\s]+(.*)<\\/a>\\s*<\\/li>"));
    const QRegularExpressionMatch listMatch = list.match(textUpToNul(body));
    if (!listMatch.hasMatch())
        return NoList;
    const QStringList parts = listMatch.captured(1).trimmed().split(QStringLiteral("<li>"));
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        const QRegularExpressionMatch match = entry.match(part);
        if (!match.hasMatch())
            return BadEntry;
        const QString name = match.captured(1).trimmed();
        if (name.contains(QLatin1String(".xml")))
            *files << name;
        else if (!name.contains(QLatin1String("Parent Directory")))
            *folders << name;
    }
    return Read;
}

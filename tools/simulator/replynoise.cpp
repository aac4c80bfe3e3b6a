#include "replynoise.h"

#include <QtGlobal>

void ReplyNoise::set(double percent, quint32 seed, Kind noiseKind)
{
    share = qBound(0.0, percent, 100.0) / 100.0;
    kind = noiseKind;
    generator.seed(seed);
}

bool ReplyNoise::kindFromName(const QString& name, Kind* noiseKind)
{
    const QStringList names = {QStringLiteral("mixed"), QStringLiteral("silence"),
                               QStringLiteral("short")};
    const int index = names.indexOf(name);
    if (index < 0)
        return false;
    *noiseKind = Kind(index);
    return true;
}

bool ReplyNoise::isOn() const
{
    return share > 0.0;
}

QByteArray ReplyNoise::spoil(const QByteArray& reply, QStringList* notes)
{
    if (!isOn() || reply.isEmpty())
        return reply;
    // Every reply takes the same draws, spoilt or not, so that a reply's
    // fate depends on its place in the order alone, not on the lengths of
    // the replies before it.
    const bool spoilt = generator.generateDouble() < share;
    const int drawnWay = int(generator.bounded(3));
    const double place = generator.generateDouble();
    const auto change = static_cast<char>(generator.bounded(1, 256)); // never 0: a real change
    if (!spoilt)
        return reply;
    const int way = kind == Silence ? 1 : kind == Short ? 2 : drawnWay;

    const int at = qMin(int(place * reply.size()), reply.size() - 1);
    const QString where = QStringLiteral("byte %1 of %2").arg(at + 1).arg(reply.size());
    QByteArray out = reply;
    switch (way) {
    case 0:
        out[at] = static_cast<char>(out.at(at) ^ change);
        notes->append(QStringLiteral("noise: %1 changed").arg(where));
        break;
    case 1:
        out.clear();
        notes->append(QStringLiteral("noise: reply lost"));
        break;
    default:
        out.remove(at, 1);
        notes->append(QStringLiteral("noise: %1 lost").arg(where));
        break;
    }
    return out;
}

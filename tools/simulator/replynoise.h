#ifndef REPLYNOISE_H
#define REPLYNOISE_H

#include <QByteArray>
#include <QRandomGenerator>
#include <QStringList>

// A noisy line that spoils a share of a controller's replies, each spoilt
// one of three ways chosen evenly: one byte changed, the whole reply lost,
// or one byte lost; or always the one way of a single kind. The same seed
// spoils the same replies (by their order) the same way, whatever they hold
// and however long they are. Not thread-safe on its own (ControllerSimulator
// guards it).
class ReplyNoise
{
public:
    enum Kind {
        Mixed,   // the three ways, evenly
        Silence, // the reply lost
        Short,   // one byte lost
    };

    // percent of the replies from 0 (off) to 100; the generator starts
    // again from the seed.
    void set(double percent, quint32 seed, Kind kind = Mixed);
    bool isOn() const;
    // "mixed", "silence" or "short"; false for any other name.
    static bool kindFromName(const QString& name, Kind* kind);

    // The reply as the line delivers it (empty when lost); a spoilt one
    // adds how to notes, e.g. "noise: byte 4 of 7 changed".
    QByteArray spoil(const QByteArray& reply, QStringList* notes);

private:
    double share = 0.0; // of the replies, 0 to 1
    Kind kind = Mixed;
    QRandomGenerator generator;
};

#endif // REPLYNOISE_H

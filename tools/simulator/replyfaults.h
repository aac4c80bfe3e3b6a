#ifndef REPLYFAULTS_H
#define REPLYFAULTS_H

#include "replynoise.h"

#include <QByteArray>
#include <QMap>
#include <QSet>
#include <QStringList>

// The faults a simulated controller can be told to make. Counted faults
// apply to the next N requests or replies (Forever: until cleared). Not
// thread-safe on its own (ControllerSimulator guards it).
class ReplyFaults
{
public:
    static constexpr int Forever = -1;

    // A fault that applies a number of times, with one parameter.
    struct Knob
    {
        int remaining = 0;
        int parameter = 0;

        void set(int times, int value);
        // True when the fault applies now; counts one use.
        bool take();
    };

    bool silent = false;
    Knob silenceNext;
    int silenceEvery = 0;      // every Nth request from the knob on goes unanswered; 0: none
    int sinceEverySilence = 0; // requests since that knob or its last silence
    QSet<int> silentAddresses;
    double dropUntilMs = 0;            // requests before this time never arrive
    QMap<int, int> lostReplyAddresses; // first address -> replies still to lose
    int replyDelayMs = 0;
    int lineRate = 0; // bit/s; 0: a reply takes no time on the line

    Knob exception;                    // parameter: exception code
    QMap<int, int> exceptionAddresses; // first address -> exception code
    Knob otherSlave;                   // parameter: slave address in the reply
    Knob otherFunction;                // parameter: function code in the reply
    Knob shortReply;                   // parameter: bytes cut from the end
    Knob longReply;                    // parameter: bytes added after the CRC
    Knob leadingGarbage;               // parameter: bytes sent before the reply
    Knob corruptCrc;
    QSet<int> badCrcAddresses; // every reply to a request at these
    Knob lateDuplicate;        // parameter: ms after the reply
    Knob requestTwice;         // the request arrives a second time at once
    int hangUpAtRequest = 0;   // the terminal closes at this request from now; 0: never
    ReplyNoise noise;          // spoils replies after every other fault

    void clear();

    // True when the request goes unanswered (nowMs on the simulator's
    // clock); counts silenceNext.
    bool takeSilence(const QByteArray& request, double nowMs, QStringList* notes);

    // True when the request is carried out but its reply is lost on the
    // line; counts lostReplyAddresses.
    bool takeLostReply(const QByteArray& request, QStringList* notes);

    // The exception reply to send instead of acting on the request, or an
    // empty array when the request is to be carried out.
    QByteArray takeException(const QByteArray& request, QStringList* notes);

    // The reply as the faults change it: header bytes (with a fresh CRC),
    // then a spoilt CRC, then the length, then garbage before it.
    QByteArray distort(const QByteArray& request, const QByteArray& reply, QStringList* notes);

    // Milliseconds after its request at which a reply of that many bytes is
    // sent: the delay, then the time its bytes take on the line (ten bits
    // each) at lineRate.
    int replyDelay(int replyBytes) const;

    // Milliseconds after which the reply is sent a second time, or -1.
    int takeDuplicateDelay(QStringList* notes);

    // True when the terminal is to close instead of answering; counts down
    // hangUpAtRequest.
    bool takeHangUp(QStringList* notes);
};

#endif // REPLYFAULTS_H

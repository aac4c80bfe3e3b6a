// The link's judgement of a reply: any bytes, after a read or write
// request of any address and count, collected as the link collects them
// (into a buffer pre-sized to the expected reply and filled with 0xFF,
// dropping what goes beyond it).
//
// Asserted: what the link then does with a verdict stays within the
// buffer, a good reply is one the request could have had, and a refusal is
// told with the code the controller gave.
#include "exceptionreply.h"
#include "fuzzsupport.h"
#include "kelvaracom.h"
#include "replyjudgement.h"

namespace {

QByteArray request(bool write, int address, int count)
{
    QByteArray frame(write ? count * 2 + 7 : 6, char(0xFF));
    frame[0] = 1;
    frame[1] = write ? 16 : 3;
    frame[2] = char((address >> 8) & 0xFF);
    frame[3] = char(address & 0xFF);
    frame[4] = char((count >> 8) & 0xFF);
    frame[5] = char(count & 0xFF);
    if (write)
        frame[6] = char((count * 2) & 0xFF);
    return KelvaraCom::fillInCRC(frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::ByteReader input(data, size);
    const uint8_t kind = input.take();
    const bool write = kind & 1;
    const int address = input.take16();
    // Counts beyond one frame's worth are what a wrong caller would ask.
    const int count = (kind & 2) ? input.take16() % 300 : input.take() % 126;
    const QByteArray sent = request(write, address, count);

    QByteArray buffer(write ? 8 : count * 2 + 5, char(0xFF));
    int received = 0;
    for (const char byte : input.takeBytes(size)) {
        if (received >= buffer.size())
            break;
        buffer[received++] = byte;
    }

    switch (ReplyJudgement::judge(sent, buffer, received)) {
    case ReplyJudgement::Good:
        if (buffer.at(0) != 1 || buffer.at(1) != sent.at(1))
            FuzzSupport::finding("a reply from another slave or function was taken");
        if (!write && buffer.size() != count * 2 + 5)
            FuzzSupport::finding("a read reply of the wrong length was taken");
        if (write && buffer.mid(2, 4) != sent.mid(2, 4))
            FuzzSupport::finding("a write reply echoing another request was taken");
        if (received != buffer.size())
            FuzzSupport::finding("an incomplete reply was taken");
        // The values stored, as the link stores them.
        for (int i = 0; i < count && !write; ++i)
            (void)(quint8(buffer.at(3 + 2 * i)) << 8 | quint8(buffer.at(4 + 2 * i)));
        KelvaraCom::niceHex(QString::fromLatin1(buffer.toHex()));
        break;
    case ReplyJudgement::Rejection: {
        if (received < ReplyJudgement::exceptionReplyLength)
            FuzzSupport::finding("a refusal was read from bytes that never came");
        // Told as the controller's answer: the request, and the code it gave.
        const ExceptionReply refusal(sent, buffer);
        if ((buffer.at(1) & 0x80) && refusal.code() != quint8(buffer.at(2)))
            FuzzSupport::finding("a refusal was told with another code than it gave");
        if (!refusal.replyLine().contains(refusal.action()) && refusal.code() >= 0)
            FuzzSupport::finding("a refusal's line does not say what the controller did");
        break;
    }
    case ReplyJudgement::Garbled:
        if (received != buffer.size())
            FuzzSupport::finding("an incomplete reply was taken for a whole one");
        break;
    case ReplyJudgement::Bad:
        break;
    }
    return 0;
}

// Feeds arbitrary bytes to the FTP client's readers of server replies. The first byte chooses:
// the control connection's reply stream (collected in pieces of a size the second byte gives,
// each reply checked against ParseFtpReply), or a single reply text for the PASV, SIZE, MDTM,
// status-line and one-time-password challenge readers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/ftp/ftp_reply.h"
#include "net/ftp/otp_challenge.h"
#include "net/ftp/pasv_reply.h"
#include "net/ftp/reply_values.h"

namespace {

using namespace tellweir;

// Collects the stream in pieces; every reply taken must be what ParseFtpReply takes from the same
// bytes, and together the replies must give back the bytes consumed.
void CheckReplyStream(std::string_view stream, std::size_t piece) {
    CFtpReplyBuffer replies;
    std::string mirror;
    std::string consumed;
    for (std::size_t pos = 0; pos < stream.size(); pos += piece) {
        const std::string_view bytes = stream.substr(pos, piece);
        replies.Append(bytes);
        mirror.append(bytes);
        for (;;) {
            FtpReply reply;
            const TransferResult result = replies.Next(reply);
            if (result == kMoreNeeded) break;
            if (result != 0) {
                if (mirror.size() < CFtpReplyBuffer::kMaxReply || !replies.Empty())
                    __builtin_trap();
                return;
            }
            std::string text;
            int code = -1;
            const FtpReplyState state = ParseFtpReply(mirror, text, code);
            if (state == FtpReplyState::Incomplete || text != reply.text || code != reply.code ||
                (state == FtpReplyState::CompleteWithWarning) != reply.warning || code < 0 ||
                code > 999 || text.size() >= CFtpReplyBuffer::kMaxReply)
                __builtin_trap();
            consumed += text + "\n";
        }
    }
    if (consumed + mirror != stream.substr(0, consumed.size() + mirror.size())) __builtin_trap();
}

void CheckReplyText(std::string_view text) {
    Ipv4Address address = 0;
    int port = -1;
    if (ParsePasvReply(text, address, port) && (port < 0 || port > 65535)) __builtin_trap();
    if (ParseFtpSize(text) < -1) __builtin_trap();
    CivilTime time;
    if (ParseMdtmTime(FtpReplyValue(text), time) && !IsValidCivilTime(time)) __builtin_trap();
    FtpStatusLineProperty(text);
    const OtpChallenge challenge = ReadOtpChallenge(text);
    if (challenge.kind == OtpChallenge::Kind::Readable &&
        (challenge.sequence < 0 || challenge.sequence > kMaxOtpSequence || challenge.seed.empty()))
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (data[0] % 2 == 0) {
        CheckReplyStream(text, data[1] % 64 + 1);
    } else {
        CheckReplyText(text);
    }
    return 0;
}

// Where an FTP reply ends and what its code is.
#include "net/ftp/ftp_reply.h"

#include <algorithm>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

bool HasCode(std::string_view line) {
    return line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3, IsAsciiDigit);
}

int CodeOf(std::string_view line) {
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

struct ReplyEnd {
    std::size_t lineFeed = 0;  // position of the line feed that ends the reply
    int code = 0;
    bool warning = false;
};

// Finds the end of the first reply in `text`; false while it has not arrived.
bool FindReplyEnd(std::string_view text, ReplyEnd& end) {
    if (text.size() <= 3) return false;
    const bool firstHasCode = HasCode(text);
    for (std::size_t lineStart = 0;;) {
        const std::size_t lineFeed = text.find('\n', lineStart);
        if (lineFeed == std::string_view::npos) return false;
        const std::string_view line = text.substr(lineStart, lineFeed - lineStart);
        if (line.size() >= 4 && HasCode(line) && line[3] == ' ') {
            end.lineFeed = lineFeed;
            end.code = CodeOf(firstHasCode ? text : line);
            end.warning = !firstHasCode || line.substr(0, 3) != text.substr(0, 3);
            return true;
        }
        lineStart = lineFeed + 1;
    }
}

}  // namespace

FtpReplyState ParseFtpReply(std::string& buffer, std::string& text, int& code) {
    ReplyEnd end;
    if (!FindReplyEnd(buffer, end)) return FtpReplyState::Incomplete;
    text.assign(buffer, 0, end.lineFeed);
    buffer.erase(0, end.lineFeed + 1);
    code = end.code;
    return end.warning ? FtpReplyState::CompleteWithWarning : FtpReplyState::Complete;
}

TransferResult CFtpReplyBuffer::Next(FtpReply& reply) {
    ReplyEnd end;
    if (!FindReplyEnd(std::string_view(buffer_).substr(0, kMaxReply), end)) {
        if (buffer_.size() < kMaxReply) return kMoreNeeded;
        buffer_.clear();
        return result::kProtocolError;
    }
    reply.text.assign(buffer_, 0, end.lineFeed);
    buffer_.erase(0, end.lineFeed + 1);
    reply.code = end.code;
    reply.warning = end.warning;
    return result::kOk;
}

}  // namespace tellweir

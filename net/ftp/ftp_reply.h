// Replies of an FTP server on the control connection: finding where a reply ends (one line or
// several), its code, and collecting the received bytes until a reply is complete.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "net/more_needed.h"

namespace tellweir {

enum class FtpReplyState { Incomplete, Complete, CompleteWithWarning };

// Takes the first reply off the front of `buffer`. Its last line is the first line that begins
// with three decimal digits and a blank ("220 ready"); lines before it ("220-", or banner lines
// without a code) belong to the reply. The code is that of the first line, or of the last line
// when the first has none. `text` gets the reply up to the line feed that ends its last line
// (a carriage return before it stays); that line feed is removed with it. The reply is complete
// with a warning when its first line has no code or the last line's code differs. Incomplete,
// with nothing changed, while no last line has arrived (always for 3 bytes or fewer).
FtpReplyState ParseFtpReply(std::string& buffer, std::string& text, int& code);

struct FtpReply {
    std::string text;
    int code = 0;
    bool warning = false;  // the reply was not of the proper form
};

// The bytes received on a control connection and not yet taken as replies. A reply must end
// within kMaxReply bytes, so a server cannot make the client hold an endless reply.
class CFtpReplyBuffer {
  public:
    static constexpr std::size_t kMaxReply = 64 * 1024;

    void Append(std::string_view bytes) { buffer_.append(bytes); }
    // 0 with the first reply taken into `reply`; kMoreNeeded while it has not ended; 1009 when
    // its last line has not ended within kMaxReply bytes (the buffer is then emptied).
    [[nodiscard]] TransferResult Next(FtpReply& reply);
    void Clear() { buffer_.clear(); }
    bool Empty() const { return buffer_.empty(); }

  private:
    std::string buffer_;
};

}  // namespace tellweir

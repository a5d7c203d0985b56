// The FTP command layer: reading replies from the control connection, sending commands (the
// password masked in the log), and skipping the TYPE and REST commands whose effect is known to
// be in force already.
#include "base/ascii_text.h"
#include "net/ftp/ftp_session.h"
#include "net/net_log.h"

namespace tellweir {
namespace {

constexpr std::int32_t kReplyChunk = 256;

// The command as the shortcut rules compare it: trimmed on the left, in upper case.
std::string ShortcutKey(std::string_view command) {
    return UpperAscii(TrimTrailingAscii(TrimLeadingAscii(command, IsAsciiSpace), IsLineBreak));
}

}  // namespace

TransferResult CFtpSession::ReadFtpReply(ILog* log, std::string& text, int& code) {
    if (IsAborted()) return result::kStopped;
    FtpReply reply;
    for (;;) {
        const TransferResult next = replies_.Next(reply);
        if (next == result::kOk) break;
        if (next != kMoreNeeded) {
            LogFormat(log, kLevelError,
                      "Reply of more than %d bytes without an end; connection dropped.",
                      static_cast<int>(CFtpReplyBuffer::kMaxReply));
            Disconnect();
            return next;
        }
        char chunk[kReplyChunk];
        const std::int32_t count = control_.Receive(chunk, kReplyChunk);
        if (count == 0) {
            LogText(log, kLevelError, "Connection closed by server.");
            Disconnect();
            return result::kControlClosed;
        }
        if (count < 0) {
            const TransferResult error = SocketFailure(control_);
            if (error == result::kTimeout) {
                LogMessage(log, kLevelError, msg::kTimeoutOn, "FTP reply read");
            } else {
                LogMessage(log, kLevelError, msg::kControlClosedCode, error);
            }
            Disconnect();
            return error;
        }
        replies_.Append(std::string_view(chunk, static_cast<std::size_t>(count)));
    }
    LogText(log, kLogLevelReceived, TrimTrailingAscii(reply.text, IsLineBreak));
    if (reply.warning)
        LogText(log, kLevelError,
                "WARNING: Incorrect reply received from server: 3 digit number expected at the "
                "beginning of the server reply.");
    text = std::move(reply.text);
    code = reply.code;
    return result::kOk;
}

TransferResult CFtpSession::SendCommand(std::string_view command, ILog* log) {
    if (IsAborted()) return result::kStopped;
    command = TrimAscii(command, IsLineBreak);
    if (command.empty()) {
        LogText(log, kLevelError, "Empty parameter for FTP command.");
        return result::kEmptyParameter;
    }
    if (command.size() >= 6 && StartsWithIgnoreAsciiCase(command, "PASS ")) {
        LogText(log, kLogLevelSent, "PASS ****");
    } else {
        LogText(log, kLogLevelSent, command);
    }
    std::string line(command);
    line += "\r\n";
    const std::int32_t length = static_cast<std::int32_t>(line.size());
    ++commandsSent_;
    if (control_.Send(line.data(), length) != length) {
        const TransferResult error = SocketFailure(control_);
        LogText(log, kLevelError,
                error == result::kTimeout ? "Request timeouted." : "Request failed on sending.");
        Disconnect();
        return error;
    }
    return result::kOk;
}

bool CFtpSession::CommandShortcut(std::string_view command, int& code) const {
    const std::string key = ShortcutKey(command);
    if (key == "REST 0" && restartState_ == 0) {
        code = 350;
        return true;
    }
    if ((key == "TYPE A" && typeState_ == 0) || (key == "TYPE I" && typeState_ == 1)) {
        code = 200;
        return true;
    }
    return false;
}

void CFtpSession::RecordCommandResult(std::string_view command, int code) {
    const std::string key = ShortcutKey(command);
    const bool positive = code >= 200 && code < 300;
    if (key == "REST 0") {
        restartState_ = 0;
    } else if (key.starts_with("REST")) {
        // Another offset leaves a marker behind that the next transfer would inherit unless
        // "REST 0" is really sent.
        restartState_ = -1;
    } else if (key == "TYPE A" && positive) {
        typeState_ = 0;
    } else if (key == "TYPE I" && positive) {
        typeState_ = 1;
    } else if (key.size() > 4 && key.starts_with("TYPE")) {
        typeState_ = -1;
    }
}

TransferResult CFtpSession::Command(std::string_view command, ILog* log, int& code,
                                    std::string& text) {
    if (IsAborted()) return result::kStopped;
    if (CommandShortcut(command, code)) {
        text.clear();
        return result::kOk;
    }
    TransferResult step = SendCommand(command, log);
    if (step == result::kOk) step = ReadFtpReply(log, text, code);
    if (step != result::kOk) {
        RecordCommandResult(command, 0);
        return step;
    }
    RecordCommandResult(command, code);
    return result::kOk;
}

TransferResult CFtpSession::CommandExpect(std::string_view command, ILog* log, int& code,
                                          int expected) {
    std::string text;
    const TransferResult step = Command(command, log, code, text);
    if (step != result::kOk) return step;
    const bool matches = expected < 10 ? code / 100 == expected : code == expected;
    return matches ? result::kOk : FtpResultForClass(code);
}

}  // namespace tellweir

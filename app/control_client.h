// The client side of the control socket: a second copy of the program hands its command to the
// running instance, or asks it to show its window.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/control_protocol.h"

namespace tellweir {

// How long a client waits for a running instance to take its request: one that has not taken it
// by then does not answer (it is stuck elsewhere).
inline constexpr std::chrono::milliseconds kControlAnswerLimit{5000};
// How long a client retries a socket file that is missing or has no server behind it: an
// instance that has just taken the instance lock is about to listen. After that the file is
// stale, or the instance listens where this copy does not look (another XDG_RUNTIME_DIR).
inline constexpr std::chrono::milliseconds kControlStartGrace{1000};
// How long a client then waits for the command's reply (a save of a long queue).
inline constexpr std::chrono::milliseconds kControlReplyLimit{120000};

// What became of a request.
struct ControlOutcome {
    enum class Kind {
        NoServer,  // no server of this user behind the socket file (missing or stale)
        NoAnswer,  // a server is there but did not take the request within the answer limit
        Replied,   // `reply` holds the command's reply, or status 1 with the reason when the
                   // server ended the connection early or speaks another version
    };
    Kind kind = Kind::NoServer;
    ControlReply reply;
};

// Sends `request` to the server at `path` (ControlSocketPath() when empty), waiting up to
// `answerLimit` for it to be taken (kControlStartGrace of it for a server to appear).
ControlOutcome ExchangeControlRequest(const ControlRequest& request, const std::string& path = {},
                                      std::chrono::milliseconds answerLimit = kControlAnswerLimit);
// As ExchangeControlRequest; nothing when there is no server, and status 1 with "the running
// instance did not answer in time" when one does not answer.
std::optional<ControlReply> SendControlRequest(
    const ControlRequest& request, const std::string& path = {},
    std::chrono::milliseconds answerLimit = kControlAnswerLimit);

// What a second start of the desktop program learns from the running instance.
enum class ShowOutcome {
    Shown,     // it has brought its window to the front
    Headless,  // it answered but has no window (the program without windows runs)
    NoAnswer,  // it did not take the request in time
    NoServer,  // nothing listens where this copy looks for the instance
};
// Asks the instance of this data folder to show its window. The program identity must be set.
ShowOutcome AskRunningInstanceToShow();

}  // namespace tellweir

// The client side of the control socket: a second copy of the program hands its command to the
// running instance, or asks it to show its window.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "app/control_protocol.h"

namespace tellweir {

// How long a client waits for a running instance to take its request. A server that has not
// taken it by then is treated as no server: a stale socket file, or an instance stuck elsewhere.
inline constexpr std::chrono::milliseconds kControlAnswerLimit{5000};
// How long a client then waits for the command's reply (a save of a long queue).
inline constexpr std::chrono::milliseconds kControlReplyLimit{120000};

// Sends `request` to the server at `path` (ControlSocketPath() when empty). Nothing when no
// server of this user takes it within `answerLimit`: the socket file is missing or stale, or
// nobody answers. Once taken, a reply always comes back: the command's, or status 1 with the
// reason when the server ended the connection early or speaks another version.
std::optional<ControlReply> SendControlRequest(
    const ControlRequest& request, const std::string& path = {},
    std::chrono::milliseconds answerLimit = kControlAnswerLimit);

// What a second start of the desktop program learns from the running instance.
enum class ShowOutcome {
    Shown,     // it has brought its window to the front
    Headless,  // it answered but has no window (the program without windows runs)
    NoAnswer,  // no instance took the request
};
// Asks the instance of this data folder to show its window. The program identity must be set.
ShowOutcome AskRunningInstanceToShow();

}  // namespace tellweir

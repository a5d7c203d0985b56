// The bytes a second copy of the program and the running instance exchange over the control
// socket. Both directions start with the line "tellweir-control 1", then a run of fields, each
// written as its length in decimal, a colon and its bytes, so that any byte may appear in a field.
//   request: kind ("show" or "run"); for "run" the client's current folder, then the arguments
//            after the program name, one field each. The request ends where the client stops
//            writing.
//   reply:   exit status (decimal), standard-output text, standard-error text. The server sends
//            the first line as soon as it has read the request, so a client can tell a server
//            that is working on it from none at all.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"

namespace tellweir {

inline constexpr std::string_view kControlMagic = "tellweir-control 1\n";
// The first line of another version of this protocol starts with this.
inline constexpr std::string_view kControlMagicStem = "tellweir-control ";
// The largest request a server reads: every command line the parser accepts, each argument
// framed (at most twice its counted length), and the client's folder.
inline constexpr std::size_t kMaxControlRequest = 2 * kMaxCommandLineBytes + 64 * 1024;
// The largest reply a client reads: the list of a very long queue.
inline constexpr std::size_t kMaxControlReply = std::size_t{256} << 20;

struct ControlRequest {
    enum class Kind { Show, Run };
    Kind kind = Kind::Show;
    std::string folder;             // Run: the client's current folder (may be empty)
    std::vector<std::string> args;  // Run: the arguments after the program name
};

// What a command did: its exit status and what it printed on each stream.
struct ControlReply {
    int status = 0;
    std::string out;
    std::string err;
};

std::string EncodeControlRequest(const ControlRequest& request);
// Nothing, with the reason in `error`, for bytes that are not one whole request of this version.
std::optional<ControlRequest> ParseControlRequest(std::string_view bytes, std::string& error);

// The reply's fields, without the first line (the server sends that earlier).
std::string EncodeControlReplyFields(const ControlReply& reply);
// The fields after the first line (which the caller has checked).
std::optional<ControlReply> ParseControlReplyFields(std::string_view bytes, std::string& error);

}  // namespace tellweir

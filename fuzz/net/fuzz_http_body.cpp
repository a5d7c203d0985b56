// Feeds arbitrary bytes to the body decoder as a reply body, plain or chunked, with or without a
// wanted length, in pieces of a chosen size. The first byte chooses the mode and the length, the
// second the piece size. Decoding in pieces must give exactly what decoding at once gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/http/body_decoder.h"
#include "net/http/chunk_size.h"

namespace {

using namespace tellweir;

struct Outcome {
    TransferResult result = kMoreNeeded;
    std::string body;
    std::string left;
    bool keeps = true;
};

Outcome Decode(std::string_view input, bool chunked, std::int64_t length, std::size_t piece) {
    CBodyDecoder decoder(chunked, length);
    Outcome outcome;
    std::string buffer;
    std::size_t pos = 0;
    do {
        const std::size_t take = std::min(piece, input.size() - pos);
        buffer.append(input.substr(pos, take));
        pos += take;
        outcome.result = decoder.Decode(buffer, outcome.body);
    } while (outcome.result == kMoreNeeded && pos < input.size());
    if (decoder.Written() != static_cast<std::int64_t>(outcome.body.size())) __builtin_trap();
    if (length >= 0 && decoder.Written() > length) __builtin_trap();
    if (outcome.body.size() > input.size()) __builtin_trap();
    // Asking again after the end changes nothing.
    std::string more = buffer;
    std::string out;
    if (outcome.result != kMoreNeeded &&
        (decoder.Decode(more, out) != outcome.result || !out.empty() || more != buffer))
        __builtin_trap();
    outcome.left = buffer + std::string(input.substr(pos));
    outcome.keeps = decoder.KeepsConnection();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool chunked = (data[0] & 1) != 0;
    const std::int64_t lengths[] = {-1, 0, 1, 5, 100, 4096, 1'000'000, 2'000'000'000};
    const std::int64_t length = lengths[(data[0] >> 1) % 8];
    const std::size_t piece = data[1] % 64 + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);

    const Outcome whole = Decode(input, chunked, length, input.size() + 1);
    const Outcome pieces = Decode(input, chunked, length, piece);
    if (whole.result != pieces.result || whole.body != pieces.body) __builtin_trap();
    if (whole.result != kMoreNeeded && whole.left != pieces.left) __builtin_trap();
    // A chunked body decides by its content alone whether the connection stays usable; a plain
    // one by whether bytes beyond it were in the buffer.
    if (chunked && whole.keeps != pieces.keeps) __builtin_trap();
    if (!chunked && whole.result == 0 && whole.keeps != whole.left.empty()) __builtin_trap();

    for (std::string_view rest = input; !rest.empty();) {
        const std::size_t end = rest.find("\r\n");
        std::int32_t chunk = 0;
        if (ReadChunkSize(rest.substr(0, end), chunk) && chunk < 0) __builtin_trap();
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
    }
    return 0;
}

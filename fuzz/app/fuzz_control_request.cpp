// Fuzz target of the control socket's format: any bytes as a request either parse or give a
// reason; a request that parses encodes back to the same bytes. The same bytes after the first
// line are read as a reply's fields, which must encode back the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/control_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tellweir;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (const std::optional<ControlRequest> request = ParseControlRequest(bytes, error)) {
        const std::string again = EncodeControlRequest(*request);
        std::string secondError;
        const std::optional<ControlRequest> reread = ParseControlRequest(again, secondError);
        if (!reread || reread->kind != request->kind || reread->folder != request->folder ||
            reread->args != request->args)
            std::abort();
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
    const std::string_view fields =
        bytes.starts_with(kControlMagic) ? bytes.substr(kControlMagic.size()) : bytes;
    error.clear();
    if (const std::optional<ControlReply> reply = ParseControlReplyFields(fields, error)) {
        std::string secondError;
        const std::optional<ControlReply> reread =
            ParseControlReplyFields(EncodeControlReplyFields(*reply), secondError);
        if (!reread || reread->status != reply->status || reread->out != reply->out ||
            reread->err != reply->err)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}

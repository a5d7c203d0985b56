// Writing and reading the control socket's requests and replies. Malformed bytes give an error
// text, never a partial request: the server answers them with an error reply.
#include "app/control_protocol.h"

#include <charconv>
#include <cstdint>

namespace tellweir {

namespace {

constexpr std::string_view kShow = "show";
constexpr std::string_view kRun = "run";
// A length longer than this many digits is past every size limit.
constexpr std::size_t kMaxLengthDigits = 10;

void AppendField(std::string& bytes, std::string_view field) {
    bytes += std::to_string(field.size());
    bytes += ':';
    bytes += field;
}

// Splits `bytes` into its fields; nothing, with `error` set, when they do not split exactly.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view bytes,
                                                         std::string& error) {
    std::vector<std::string_view> fields;
    while (!bytes.empty()) {
        const std::size_t colon = bytes.find(':');
        if (colon == std::string_view::npos || colon == 0 || colon > kMaxLengthDigits) {
            error = "a field does not start with its length";
            return std::nullopt;
        }
        std::uint64_t length = 0;
        const auto [end, ec] = std::from_chars(bytes.data(), bytes.data() + colon, length);
        if (ec != std::errc() || end != bytes.data() + colon) {
            error = "a field does not start with its length";
            return std::nullopt;
        }
        bytes.remove_prefix(colon + 1);
        if (length > bytes.size()) {
            error = "a field is cut short";
            return std::nullopt;
        }
        fields.push_back(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return fields;
}

}  // namespace

std::string EncodeControlRequest(const ControlRequest& request) {
    std::string bytes(kControlMagic);
    if (request.kind == ControlRequest::Kind::Show) {
        AppendField(bytes, kShow);
        return bytes;
    }
    AppendField(bytes, kRun);
    AppendField(bytes, request.folder);
    for (const std::string& arg : request.args)
        AppendField(bytes, arg);
    return bytes;
}

std::optional<ControlRequest> ParseControlRequest(std::string_view bytes, std::string& error) {
    if (!bytes.starts_with(kControlMagic)) {
        error = bytes.starts_with(kControlMagicStem) ? "another version of the control protocol"
                                                     : "not a control request";
        return std::nullopt;
    }
    bytes.remove_prefix(kControlMagic.size());
    const std::optional<std::vector<std::string_view>> fields = SplitFields(bytes, error);
    if (!fields) return std::nullopt;
    if (fields->empty()) {
        error = "the request is empty";
        return std::nullopt;
    }
    ControlRequest request;
    const std::string_view kind = fields->front();
    if (kind == kShow && fields->size() == 1) {
        request.kind = ControlRequest::Kind::Show;
        return request;
    }
    if (kind != kRun || fields->size() < 2) {
        error = "unknown request";
        return std::nullopt;
    }
    request.kind = ControlRequest::Kind::Run;
    // Command lines and folder names never hold a NUL: one would cut the text short later.
    for (const std::string_view field : *fields) {
        if (field.find('\0') != std::string_view::npos) {
            error = "a field holds a NUL byte";
            return std::nullopt;
        }
    }
    request.folder = std::string((*fields)[1]);
    request.args.assign(fields->begin() + 2, fields->end());
    return request;
}

std::string EncodeControlReplyFields(const ControlReply& reply) {
    std::string bytes;
    bytes.reserve(reply.out.size() + reply.err.size() + 32);
    AppendField(bytes, std::to_string(reply.status));
    AppendField(bytes, reply.out);
    AppendField(bytes, reply.err);
    return bytes;
}

std::optional<ControlReply> ParseControlReplyFields(std::string_view bytes, std::string& error) {
    const std::optional<std::vector<std::string_view>> fields = SplitFields(bytes, error);
    if (!fields) return std::nullopt;
    if (fields->size() != 3) {
        error = "a reply has three fields";
        return std::nullopt;
    }
    const std::string_view status = (*fields)[0];
    ControlReply reply;
    const auto [end, ec] =
        std::from_chars(status.data(), status.data() + status.size(), reply.status);
    if (status.empty() || ec != std::errc() || end != status.data() + status.size() ||
        reply.status < 0 || reply.status > 255) {
        error = "the exit status is not a number from 0 to 255";
        return std::nullopt;
    }
    reply.out = std::string((*fields)[1]);
    reply.err = std::string((*fields)[2]);
    return reply;
}

}  // namespace tellweir

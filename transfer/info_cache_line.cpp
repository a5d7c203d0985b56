// The line format of "InfoCache.txt".
#include "transfer/info_cache_line.h"

#include <cstdint>
#include <limits>

#include "base/ascii_text.h"
#include "base/text_format.h"
#include "store/attribute_list.h"
#include "transfer/file_info.h"
#include "url/file_type.h"

namespace tellweir {
namespace {

struct OptionalAttribute {
    const char* name;
    PropertyId id;
};

// Written after the fixed part, in this order, when not empty.
constexpr OptionalAttribute kOptional[] = {
    {"E-Tag", prop::kETag},
    {"Content-Type", prop::kContentType},
    {"Content-Location", prop::kContentLocation},
    {"RedirPath", prop::kRedirPath},
    {"Redir", prop::kRedirect},
};

// Read as text into these properties.
struct TextAttribute {
    std::string_view name;
    PropertyId id;
};

constexpr TextAttribute kTextAttributes[] = {
    {"Redir", prop::kRedirect},
    {"RedirPath", prop::kRedirPath},
    {"time", prop::kTimeModified},
    {"content-type", prop::kContentType},
    {"content-location", prop::kContentLocation},
    {"added", prop::kAdded},
    {"E-Tag", prop::kETag},
};

// A signed decimal after optional blanks, stopping at the first other character; saturates
// instead of overflowing.
std::int64_t ParseInt64(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsAsciiSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (; pos < text.size() && IsAsciiDigit(text[pos]); ++pos) {
        const int digit = text[pos] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

void ApplyAttribute(std::string_view name, std::string_view value, InfoCacheEntry& entry) {
    CPropertySet& data = entry.data;
    if (EqualsIgnoreAsciiCase(name, "url")) {
        std::string path;
        if (!ParseUrl(value, true, entry.address, path)) {
            entry.address.Reset();
            path.clear();
        }
        data.SetString(prop::kPath, path);
        return;
    }
    if (EqualsIgnoreAsciiCase(name, "size")) {
        const std::int64_t size = ParseInt64(value);
        data.SetInt64(prop::kSize, size < 0 ? -1 : size);
        return;
    }
    if (EqualsIgnoreAsciiCase(name, "type")) {
        data.SetInt(prop::kType, static_cast<std::int32_t>(FileTypeFromName(value)));
        return;
    }
    for (const TextAttribute& attribute : kTextAttributes) {
        if (EqualsIgnoreAsciiCase(name, attribute.name)) {
            data.SetString(attribute.id, value);
            return;
        }
    }
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A value between double quotes, or between single quotes when it holds a double quote (as
// E-Tags do) and no single quote, so that it reads back unchanged.
void AppendQuoted(std::string& line, std::string_view value) {
    const bool single =
        value.find('"') != std::string_view::npos && value.find('\'') == std::string_view::npos;
    const char quote = single ? '\'' : '"';
    line.push_back(quote);
    line.append(value);
    line.push_back(quote);
}

}  // namespace

std::string InfoCacheUrl(const CUrlAddress& address, std::string_view path) {
    return ComposeUrl(address, path, {.path = true, .user = true});
}

void ParseInfoCacheLine(std::string_view line, InfoCacheEntry& entry) {
    std::string_view pendingName;
    ParseAttributeList(
        line,
        [&](std::string_view name) {
            pendingName = name;
            return true;
        },
        [&](std::string_view value) {
            ApplyAttribute(pendingName, value, entry);
            return true;
        });
}

std::string FormatInfoCacheLine(const InfoCacheEntry& entry) {
    const CPropertySet& data = entry.data;
    const std::string url = InfoCacheUrl(entry.address, data.String(prop::kPath));
    if (url.empty()) return {};
    const std::string added = data.String(prop::kAdded);
    const std::string time = data.String(prop::kTimeModified);
    if (HasLineBreak(url) || HasLineBreak(added) || HasLineBreak(time)) return {};
    const auto type = static_cast<FileType>(data.Int(prop::kType));
    std::string line = Format("URL=\"%s\" Added=\"%s\" Size=\"%I64d\" Time=\"%s\" Type=\"%s\"", url,
                              added, data.Int64(prop::kSize), time, FileTypeName(type));
    for (const OptionalAttribute& attribute : kOptional) {
        const std::string value = data.String(attribute.id);
        if (value.empty()) continue;
        if (HasLineBreak(value)) return {};
        line.push_back(' ');
        line.append(attribute.name);
        line.push_back('=');
        AppendQuoted(line, value);
    }
    line.append("\r\n");
    return line;
}

}  // namespace tellweir

// Action names, action line parsing and the line form of action texts.
#include "core/action_line.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr std::string_view kActionNames[kActionCount] = {
    "None",          "Prompt",         "Beep",          "Light Icon",
    "Play Sound",    "Create Process", "Open in Shell", "Stop Monitor Task",
    "Cleanup cache", "Save queue",     "Display queue",
};

}  // namespace

std::string_view ActionName(int code) {
    return code >= 0 && code < kActionCount ? kActionNames[code] : std::string_view();
}

int ParseActionLine(std::string_view line, std::string& parameter) {
    parameter.clear();
    for (int code = 0; code < kActionCount; ++code) {
        if (!StartsWithIgnoreAsciiCase(line, kActionNames[code])) continue;
        parameter.assign(TrimLeadingAscii(line.substr(kActionNames[code].size()), IsBlankOrTab));
        return code;
    }
    return kActionNone;
}

std::vector<std::string> SplitActionLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        if (end == std::string_view::npos) {
            lines.emplace_back(text);
            break;
        }
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 2);
    }
    return lines;
}

std::string JoinActionLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
    }
    return text;
}

}  // namespace tellweir

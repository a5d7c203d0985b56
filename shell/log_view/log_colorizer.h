// CLogColorizer: colours the lines of an item log by their tags: a line takes the class of the
// first tag character on it ("S", "E", "C", "D", "<", ">" or a tab); bracketed and quoted runs
// on a classed line stand out. Plain C++, so the rules are tested without a window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tellweir {

// The colour classes of the text view; the view maps them to colours.
enum class ColorClass : std::uint8_t {
    Text,     // an unclassed line (or its part before the tag)
    Gutter,   // line numbers and the gutter separator
    Status,   // "S"
    Error,    // "E"
    C,        // "C"
    Detail,   // "D", "<", ">" or a tab
    Bracket,  // "[" to "]"
    Quote,    // a double quote to the next one
};
constexpr std::size_t kColorClassCount = 8;

// A class as an index into a table of kColorClassCount entries.
constexpr std::size_t ClassIndex(ColorClass colorClass) {
    return static_cast<std::size_t>(colorClass);
}

// A stretch of one line's bytes drawn in one class.
struct ColorRun {
    std::size_t start = 0;
    std::size_t length = 0;
    ColorClass colorClass = ColorClass::Text;
    bool operator==(const ColorRun&) const = default;
};

// How a text view colours its lines. Each line is coloured on its own: no state crosses a line
// feed, so a view colours only the lines it draws.
class CTextColorizer {
  public:
    virtual ~CTextColorizer() = default;
    // Replaces `runs` with the runs of `line` (without its line break), in order, adjacent runs
    // of one class merged.
    virtual void ColorLine(std::string_view line, std::vector<ColorRun>& runs) const = 0;
};

class CLogColorizer final : public CTextColorizer {
  public:
    void ColorLine(std::string_view line, std::vector<ColorRun>& runs) const override;
};

// One class per byte of `text`, line feeds included, as the colorizer gives them line by line.
std::vector<ColorClass> ColorClasses(const CTextColorizer& colorizer, std::string_view text);

}  // namespace tellweir

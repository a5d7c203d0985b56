// The colouring of item log lines: line classes by the first tag character, bracket and quote
// runs, and runs that end with their line.
#include <gtest/gtest.h>

#include <string>

#include "shell/log_view/log_colorizer.h"

namespace tellweir {
namespace {

// One letter per byte: "." plain, s status, e error, c "C", d details, b brackets, q quotes.
std::string Pattern(std::string_view text) {
    std::string out;
    for (ColorClass c : ColorClasses(CLogColorizer(), text)) {
        switch (c) {
            case ColorClass::Status:
                out += 's';
                break;
            case ColorClass::Error:
                out += 'e';
                break;
            case ColorClass::C:
                out += 'c';
                break;
            case ColorClass::Detail:
                out += 'd';
                break;
            case ColorClass::Bracket:
                out += 'b';
                break;
            case ColorClass::Quote:
                out += 'q';
                break;
            default:
                out += '.';
                break;
        }
    }
    return out;
}

struct ColorCase {
    const char* text;
    const char* classes;
};

TEST(LogColorizerTest, ClassesEveryByteByTheRules) {
    const ColorCase cases[] = {
        // A prompt line: blue, the time in brackets, the name in quotes.
        {"S:\t[1] \"a\" b", "sssbbbsqqqss"},
        {"E:\tCode [404] \"x\".", "eeeeeeeebbbbbeqqqe"},
        // Unclassed up to the first tag character, which classes the rest of the line.
        {"xyz Data \"q\"", "....dddddqqq"},
        {"plain", "....."},
        // A quote inside brackets and a bracket inside quotes are part of the run.
        {"S:\t[\"a] \"[b\" c", "sssbbbbsqqqqss"},
        // A run left open ends with its line; the line feed ends the class too.
        {"S:\t[open\nS:\tx", "sssbbbbb.ssss"},
        {"\tcont", "ddddd"},
        {"<:\tGET", "dddddd"},
        {">:\tx", "dddd"},
        {"C:\tok", "ccccc"},
        {"S:\tend\r\n\r\nE", "sssssss...e"},
    };
    for (const ColorCase& c : cases)
        EXPECT_EQ(Pattern(c.text), c.classes) << c.text;
}

TEST(LogColorizerTest, MergesRunsOfOneClass) {
    std::vector<ColorRun> runs;
    CLogColorizer().ColorLine("ab S:\t[1] x", runs);
    const std::vector<ColorRun> expected = {{0, 3, ColorClass::Text},
                                            {3, 3, ColorClass::Status},
                                            {6, 3, ColorClass::Bracket},
                                            {9, 2, ColorClass::Status}};
    EXPECT_EQ(runs, expected);
}

}  // namespace
}  // namespace tellweir

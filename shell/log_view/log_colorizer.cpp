// The colouring rules of item log lines.
#include "shell/log_view/log_colorizer.h"

namespace tellweir {

namespace {

ColorClass LineClassOf(char c) {
    switch (c) {
        case 'S':
            return ColorClass::Status;
        case 'E':
            return ColorClass::Error;
        case 'C':
            return ColorClass::C;
        case 'D':
        case '<':
        case '>':
        case '\t':
            return ColorClass::Detail;
        default:
            return ColorClass::Text;
    }
}

void Add(std::vector<ColorRun>& runs, std::size_t at, ColorClass colorClass) {
    if (!runs.empty() && runs.back().colorClass == colorClass &&
        runs.back().start + runs.back().length == at) {
        ++runs.back().length;
        return;
    }
    runs.push_back({at, 1, colorClass});
}

}  // namespace

void CLogColorizer::ColorLine(std::string_view line, std::vector<ColorRun>& runs) const {
    runs.clear();
    enum class Run { None, Bracket, Quote };
    ColorClass lineClass = ColorClass::Text;
    Run run = Run::None;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (lineClass == ColorClass::Text) {
            lineClass = LineClassOf(c);
            run = Run::None;
            Add(runs, i, lineClass);
            continue;
        }
        // A quote inside brackets and a bracket inside quotes are plain characters of the run.
        if (run == Run::None && c == '"') {
            run = Run::Quote;
            Add(runs, i, ColorClass::Quote);
        } else if (run == Run::None && c == '[') {
            run = Run::Bracket;
            Add(runs, i, ColorClass::Bracket);
        } else if (run == Run::Quote) {
            if (c == '"') run = Run::None;
            Add(runs, i, ColorClass::Quote);
        } else if (run == Run::Bracket) {
            if (c == ']') run = Run::None;
            Add(runs, i, ColorClass::Bracket);
        } else {
            Add(runs, i, lineClass);
        }
    }
}

std::vector<ColorClass> ColorClasses(const CTextColorizer& colorizer, std::string_view text) {
    std::vector<ColorClass> classes(text.size(), ColorClass::Text);
    std::vector<ColorRun> runs;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        colorizer.ColorLine(text.substr(start, end - start), runs);
        for (const ColorRun& r : runs)
            for (std::size_t i = 0; i < r.length; ++i)
                classes[start + r.start + i] = r.colorClass;
        start = end + 1;  // the line feed itself stays unclassed
    }
    return classes;
}

}  // namespace tellweir

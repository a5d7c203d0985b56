// Name pattern parsing and enumeration.
#include "url/name_pattern.h"

#include "base/ascii_text.h"

namespace tellweir {
namespace {

constexpr std::int64_t kHighestBound = 2000000000;

// An optionally signed decimal integer filling all of `text`. Magnitudes beyond the highest
// bound saturate just past it, so long digit strings stay out of range without overflowing.
bool ReadBound(std::string_view text, std::int64_t& value) {
    const bool negative = text.starts_with('-');
    if (negative) text.remove_prefix(1);
    if (text.empty()) return false;
    value = 0;
    for (char c : text) {
        if (!IsAsciiDigit(c)) return false;
        if (value <= kHighestBound) value = value * 10 + (c - '0');
    }
    if (value > kHighestBound) value = kHighestBound + 1;
    if (negative) value = -value;
    return true;
}

enum class RangeForm { NotRange, Range, OutOfBounds };

// "a-b" with a and b optionally signed; the separating '-' is the first one after a's digits.
RangeForm ReadRange(std::string_view text, std::int64_t& from, std::int64_t& to) {
    const std::size_t dash = text.find('-', text.starts_with('-') ? 1 : 0);
    if (dash == std::string_view::npos) return RangeForm::NotRange;
    if (!ReadBound(text.substr(0, dash), from) || !ReadBound(text.substr(dash + 1), to)) {
        return RangeForm::NotRange;
    }
    const bool inBounds = from >= 0 && from <= kHighestBound && to >= 0 && to <= kHighestBound;
    return inBounds ? RangeForm::Range : RangeForm::OutOfBounds;
}

}  // namespace

bool CNamePattern::ParseGroup(std::string_view content, std::vector<Alternative>& alternatives) {
    while (true) {
        const std::size_t bar = content.find('|');
        const std::string_view text = content.substr(0, bar);
        Alternative alternative;
        switch (ReadRange(text, alternative.from, alternative.to)) {
            case RangeForm::OutOfBounds:
                return false;
            case RangeForm::Range:
                alternative.isRange = true;
                break;
            case RangeForm::NotRange:
                alternative.text = text;
                break;
        }
        alternatives.push_back(std::move(alternative));
        if (bar == std::string_view::npos) return true;
        content.remove_prefix(bar + 1);
    }
}

void CNamePattern::Parse(std::string_view pattern) {
    items_.clear();
    ended_ = false;
    std::size_t literalStart = 0;
    std::size_t i = 0;
    while ((i = pattern.find('<', i)) != std::string_view::npos) {
        AddLiteral(pattern.substr(literalStart, i - literalStart));
        const std::size_t close = pattern.find('>', i + 1);
        std::vector<Alternative> alternatives;
        if (close == std::string_view::npos ||
            !ParseGroup(pattern.substr(i + 1, close - i - 1), alternatives)) {
            AddLiteral(pattern.substr(i));
            return;
        }
        AddItem(std::move(alternatives));
        i = literalStart = close + 1;
    }
    AddLiteral(pattern.substr(literalStart));
}

void CNamePattern::AddLiteral(std::string_view text) {
    // An empty literal would add nothing to any text and take exactly one step; leave it out.
    if (text.empty()) return;
    AddItem({Alternative{std::string(text)}});
}

void CNamePattern::AddItem(std::vector<Alternative> alternatives) {
    items_.push_back(Item{std::move(alternatives)});
    Reset(items_.back());
}

void CNamePattern::EnterAlternative(Item& item) {
    if (item.index < item.alternatives.size()) item.number = item.alternatives[item.index].from;
}

void CNamePattern::Reset(Item& item) {
    item.index = 0;
    EnterAlternative(item);
}

void CNamePattern::Advance(Item& item) {
    const Alternative& current = item.alternatives[item.index];
    if (current.isRange && item.number != current.to) {
        item.number += current.from <= current.to ? 1 : -1;
        return;
    }
    ++item.index;
    EnterAlternative(item);
}

std::optional<std::string> CNamePattern::Next() {
    if (ended_) return std::nullopt;
    std::string text;
    for (const Item& item : items_) {
        const Alternative& current = item.alternatives[item.index];
        text += current.isRange ? std::to_string(item.number) : current.text;
    }
    // Odometer step: the first item turns; one that runs out starts over and carries into the
    // next. The last item never starts over, so its running out ends the enumeration (a pattern
    // without items stands for the empty text once).
    ended_ = true;
    for (std::size_t k = 0; k < items_.size(); ++k) {
        Item& item = items_[k];
        Advance(item);
        if (item.index < item.alternatives.size()) {
            ended_ = false;
            break;
        }
        if (k + 1 < items_.size()) Reset(item);
    }
    return text;
}

}  // namespace tellweir

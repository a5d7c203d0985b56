// CItemLog: tagging and line counting of entries, trimming from the front, observers.
#include "log/item_log.h"

#include <algorithm>

#include "log/line_cut.h"

namespace tellweir {
namespace {

std::string_view TagFor(int level) {
    switch (level) {
        case 1:
            return "E:\t";
        case 2:
            return ">:\t";
        case 3:
            return "<:\t";
        case 4:
            return "D:\t";
        case 5:
            return "\t";
        default:
            return "S:\t";
    }
}

// Every CR LF becomes LF, then every LF becomes CR LF and a tab, so that the continuation lines
// of a multi-line entry are indented under its tag.
std::string IndentLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n') {
            out += "\r\n\t";
        } else {
            out += c;
        }
    }
    return out;
}

bool EndsWithLineFeed(const std::string& s) {
    return !s.empty() && s.back() == '\n';
}

}  // namespace

std::string CItemLog::GetName() const {
    std::lock_guard g(lock_);
    return name_;
}

void CItemLog::SetName(std::string_view name) {
    std::lock_guard g(lock_);
    name_ = name;
}

void CItemLog::Write(int level, std::string_view text) {
    std::lock_guard g(lock_);
    if (forcedLevel_ != -1) level = forcedLevel_;
    bool open = text.empty() || text.back() != '\n';
    std::string entry;
    if (level == kLevelRaw) {
        entry = text;
    } else {
        if (level == kLevelContinuation) open = false;
        entry = IndentLineBreaks(text);
        // A new entry starts on a new line with its tag; a continuation joins an unfinished line.
        if (level != kLevelContinuation || text_.empty() || EndsWithLineFeed(text_)) {
            std::string prefix;
            if (level != kLevelContinuation && !text_.empty() && !EndsWithLineFeed(text_)) {
                prefix = "\r\n";
            }
            prefix += TagFor(level);
            entry.insert(0, prefix);
        }
        if (open) {
            entry += "\r\n";
        } else {
            while (!entry.empty() && entry.back() == '\t')
                entry.pop_back();
        }
    }
    CutLongLines(entry, OpenLineLengthLocked(), pendingCut_);
    const bool wasUnfinished = !text_.empty() && !EndsWithLineFeed(text_);
    text_ += entry;
    lineCount_ += static_cast<std::uint32_t>(std::count(entry.begin(), entry.end(), '\n'));
    if (wasUnfinished) --lineCount_;
    if (!text_.empty() && !EndsWithLineFeed(text_)) ++lineCount_;
    BoundTextLocked();
    NotifyLocked();
}

std::size_t CItemLog::OpenLineLengthLocked() const {
    const std::size_t feed = text_.rfind('\n');
    return feed == std::string::npos ? text_.size() : text_.size() - feed - 1;
}

void CItemLog::BoundTextLocked() {
    if (text_.size() <= kMaxLogTextBytes) return;
    // Whole lines up to the first line end that leaves at most half the bound.
    const std::size_t feed = text_.find('\n', text_.size() - kMaxLogTextBytes / 2 - 1);
    if (feed == std::string::npos) {
        ErasePrefixLocked(text_.size(), lineCount_, nullptr);
        return;
    }
    const std::size_t length = feed + 1;
    const auto lines = static_cast<std::uint32_t>(
        std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(length), '\n'));
    ErasePrefixLocked(length, lines, nullptr);
}

LogStats CItemLog::GetStats() const {
    std::lock_guard g(lock_);
    return {changeCount_, text_.size(), lineCount_, linesDropped_, bytesDropped_};
}

std::size_t CItemLog::ReadText(std::string& out, std::size_t start, std::size_t count) const {
    std::lock_guard g(lock_);
    out.clear();
    if (count == 0 || start >= text_.size()) return 0;
    out.assign(text_, start, count);  // keeps the caller's room
    return out.size();
}

std::string CItemLog::GetText() const {
    std::lock_guard g(lock_);
    return text_;
}

std::uint32_t CItemLog::GetChangeCount() const {
    std::lock_guard g(lock_);
    return changeCount_;
}

std::size_t CItemLog::PrefixLengthLocked(std::int64_t n) const {
    if (n <= 0) return 0;
    if (n >= lineCount_) return text_.size();
    std::size_t pos = 0;
    for (std::int64_t i = 0; i < n; ++i)
        pos = text_.find('\n', pos) + 1;
    return pos;
}

void CItemLog::WriteFirstLines(std::int64_t n, const LogSink& sink) const {
    std::lock_guard g(lock_);
    const std::size_t length = PrefixLengthLocked(n);
    if (sink && length) sink(std::string_view(text_).substr(0, length));
}

void CItemLog::ErasePrefixLocked(std::size_t length, std::uint32_t lines, std::string* out) {
    if (out) out->assign(text_, 0, length);
    text_.erase(0, length);
    bytesDropped_ += length;
    linesDropped_ += lines;
    lineCount_ -= lines;
    if (text_.empty()) pendingCut_ = 0;  // the cut line went with the rest
}

void CItemLog::RemovePrefixLocked(std::size_t length, std::uint32_t lines, std::string* out) {
    ErasePrefixLocked(length, lines, out);
    NotifyLocked();
}

void CItemLog::PopLines(std::int64_t n, std::string* out) {
    std::lock_guard g(lock_);
    if (n < 0) n = 0;
    const std::uint32_t lines = n < lineCount_ ? static_cast<std::uint32_t>(n) : lineCount_;
    RemovePrefixLocked(PrefixLengthLocked(n), lines, out);
}

void CItemLog::MoveLines(std::int64_t n, const LogSink& sink) {
    std::lock_guard g(lock_);
    WriteFirstLines(n, sink);
    PopLines(n);
}

void CItemLog::Clear() {
    std::lock_guard g(lock_);
    RemovePrefixLocked(text_.size(), lineCount_, nullptr);
}

void CItemLog::SetForcedLevel(int level) {
    std::lock_guard g(lock_);
    forcedLevel_ = level;
}

void CItemLog::AddObserver(ILogObserver* observer) {
    if (!observer) return;
    std::lock_guard g(lock_);
    observers_.push_back(observer);
}

void CItemLog::RemoveObserver(ILogObserver* observer) {
    std::lock_guard g(lock_);
    std::erase(observers_, observer);
}

void CItemLog::NotifyLocked() {
    ++changeCount_;
    // The most recently added observer first.
    for (auto it = observers_.rbegin(); it != observers_.rend(); ++it)
        (*it)->LogChanged(id_);
}

void TrimToMax(CItemLog& log, std::int32_t maxLines) {
    const LogStats stats = log.GetStats();
    if (static_cast<std::int64_t>(stats.lineCount) >= maxLines) {
        log.PopLines(static_cast<std::int64_t>(stats.lineCount) - maxLines / 2);
    }
}

}  // namespace tellweir

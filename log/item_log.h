// CItemLog: the in-memory log of a task, the engine, a transfer or a server connection. Entries
// are tagged lines ended by CR LF; the log is reference-counted, safe to write from any thread and
// tells its observers of every change. Lines are cut to kMaxLogLineBytes and the text is kept
// within kMaxLogTextBytes, so that no server can make a log grow without bound.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "log/log_observer.h"

namespace tellweir {

// Entry levels beyond the transfer engine's status (0) and error (1).
inline constexpr int kLevelSent = 2;
inline constexpr int kLevelReceived = 3;
inline constexpr int kLevelDetail = 4;
inline constexpr int kLevelContinuation = 5;
inline constexpr int kLevelRaw = 6;

// Once the text grows past this, the oldest lines are dropped until at most half of it is left,
// as TrimToMax does for the line count: views see lines dropped and reload.
inline constexpr std::size_t kMaxLogTextBytes = std::size_t{4} << 20;

struct LogStats {
    std::uint32_t changeCount = 0;
    std::size_t textLength = 0;
    std::uint32_t lineCount = 0;
    std::uint32_t linesDropped = 0;
    // Bytes ever removed from the front. The text only grows at its end, so byte n of all that
    // was ever written is at n - bytesDropped while it is kept.
    std::uint64_t bytesDropped = 0;
};

// Receives lines handed out by WriteFirstLines and MoveLines.
using LogSink = std::function<void(std::string_view)>;

class CItemLog final : public RefCounted<ILog> {
  public:
    explicit CItemLog(std::int32_t id = 0) : id_(id) {}

    std::string GetName() const override;
    void SetName(std::string_view name) override;
    std::int32_t GetId() const override { return id_; }
    void Write(int level, std::string_view text) override;

    LogStats GetStats() const;
    // At most `count` bytes of the text from byte `start`; returns the number of bytes given.
    std::size_t ReadText(std::string& out, std::size_t start, std::size_t count) const;
    std::string GetText() const;
    std::uint32_t GetChangeCount() const;
    // Passes the first n lines (all when n >= the line count) to the sink; the log is unchanged.
    void WriteFirstLines(std::int64_t n, const LogSink& sink) const;
    // Removes the first n lines, or everything when n >= the line count; `out` receives them.
    void PopLines(std::int64_t n, std::string* out = nullptr);
    // Passes the first n lines to the sink, then removes them.
    void MoveLines(std::int64_t n, const LogSink& sink);
    void Clear();

    // -1 writes at the level given; any other value replaces the level of every write.
    void SetForcedLevel(int level);

    // The observer is told of every change until it is removed; once RemoveObserver returns no
    // call to it is under way or can start. Adding one twice tells it twice.
    void AddObserver(ILogObserver* observer);
    void RemoveObserver(ILogObserver* observer);

  private:
    ~CItemLog() override = default;

    // Byte length of the first n lines of the text; caller holds the lock.
    std::size_t PrefixLengthLocked(std::int64_t n) const;
    // Removes the first `length` bytes, holding `lines` lines, without telling the observers.
    void ErasePrefixLocked(std::size_t length, std::uint32_t lines, std::string* out);
    void RemovePrefixLocked(std::size_t length, std::uint32_t lines, std::string* out);
    // Bytes of the unfinished last line (0 when the text ends with a line feed).
    std::size_t OpenLineLengthLocked() const;
    // Drops the oldest lines once the text is longer than kMaxLogTextBytes.
    void BoundTextLocked();
    void NotifyLocked();

    const std::int32_t id_;
    mutable std::recursive_mutex lock_;
    std::string text_;
    std::string name_;
    std::uint32_t changeCount_ = 0;
    std::uint32_t lineCount_ = 0;
    std::uint32_t linesDropped_ = 0;
    std::uint64_t bytesDropped_ = 0;
    // Bytes cut from the unfinished last line whose note is still to come.
    std::size_t pendingCut_ = 0;
    int forcedLevel_ = -1;
    std::vector<ILogObserver*> observers_;
};

using ItemLogPtr = RefPtr<CItemLog>;

// Cuts the log to its last maxLines / 2 lines once it holds maxLines lines or more.
void TrimToMax(CItemLog& log, std::int32_t maxLines);

}  // namespace tellweir

// ILog, the log sink every transfer, task and the engine write through. Implementations are
// reference-counted and thread-safe: each serialises its own operations with its own lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/ref_ptr.h"
#include "base/text_format.h"

namespace tellweir {

// AddRef and Release come from IRefCounted; implementations count with RefCounted<ILog>.
class ILog : public IRefCounted {
  public:
    virtual std::string GetName() const = 0;
    virtual void SetName(std::string_view name) = 0;
    virtual std::int32_t GetId() const = 0;

    // Appends one entry at `level` (0 status "S:", 1 error "E:", 2 sent ">:", 3 received "<:",
    // 4 detail "D:", 5 continuation, 6 raw).
    virtual void Write(int level, std::string_view text) = 0;
    // Formats with printf conventions, then writes.
    virtual void WriteFormatV(int level, std::string_view format, FormatArgs args);
    // Formats status message `index` (0..52), then writes; any other index writes nothing.
    virtual void WriteMessageV(int level, int index, FormatArgs args);

    template <class... Args>
    void WriteFormat(int level, std::string_view format, const Args&... args) {
        const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
        WriteFormatV(level, format, FormatArgs(list, sizeof...(Args)));
    }
    template <class... Args>
    void WriteMessage(int level, int index, const Args&... args) {
        const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
        WriteMessageV(level, index, FormatArgs(list, sizeof...(Args)));
    }

  protected:
    ~ILog() override = default;
};

using LogPtr = RefPtr<ILog>;

// The text of status message `index` formatted with `args`; empty for an index outside 0..52.
// A socket error number in the text is followed by its words: "(error: 10061, connection
// refused)."
std::string FormatStatusMessage(int index, FormatArgs args);

}  // namespace tellweir

// CCanberraSoundOutput: the desktop's sound output through libcanberra (the freedesktop event
// sound library). Tones are played from cached WAV files.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/sound_output.h"

struct ca_context;

namespace tellweir {

class CCanberraSoundOutput final : public ISoundOutput {
  public:
    // Tones longer than this are cut to it: a beep must not hold the engine thread for hours.
    static constexpr std::uint32_t kMaxToneMs = 10000;
    // How much longer than the tone itself a tone may take before PlayTone gives up waiting.
    static constexpr std::chrono::milliseconds kToneGrace{2000};

    // `toneFolder`: where the tone files are kept; empty means DefaultToneFolder().
    explicit CCanberraSoundOutput(std::string toneFolder = {});
    ~CCanberraSoundOutput() override;
    CCanberraSoundOutput(const CCanberraSoundOutput&) = delete;
    CCanberraSoundOutput& operator=(const CCanberraSoundOutput&) = delete;

    bool PlayTone(std::uint32_t frequency, std::uint32_t durationMs) override;
    bool PlaySystemSound(std::string_view eventId) override;
    bool PlayFile(std::string_view path) override;

    // $XDG_CACHE_HOME (or ~/.cache), then the company and product folders, then "Tones".
    static std::string DefaultToneFolder();

  private:
    // The open context, created on first use; null when libcanberra cannot open one. The caller
    // holds lock_.
    ca_context* ContextLocked();

    std::mutex lock_;
    ca_context* context_ = nullptr;
    std::string toneFolder_;
};

}  // namespace tellweir

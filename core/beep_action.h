// The "Beep" action: its parameter names a tone ("Freq=" and "Duration=") or a system sound.
#pragma once

#include <cstdint>
#include <string_view>

namespace tellweir {

struct BeepRequest {
    bool tone = false;             // a tone, else a system sound
    std::uint32_t frequency = 0;   // Hz, within 37..32767
    std::uint32_t durationMs = 0;  // as written (a negative value as its unsigned pattern)
    int beepType = -1;             // system beep type when not a tone
};

// Exactly two name=value pairs make a tone: "Freq" (default 40) and "Duration" (default 100),
// names matched case-sensitively. Anything else is trimmed and looked up as a system sound name.
BeepRequest ParseBeepParameter(std::string_view parameter);

// Sounds the beep through the process's sound output; a tone returns when it has ended.
void SoundBeep(const BeepRequest& beep);

}  // namespace tellweir

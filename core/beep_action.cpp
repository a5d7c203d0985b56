// Parsing and sounding the "Beep" action.
#include "core/beep_action.h"

#include <cstdlib>
#include <string>

#include "base/ascii_text.h"
#include "base/decimal_text.h"
#include "core/sound_output.h"
#include "store/attribute_list.h"

namespace tellweir {
namespace {

constexpr std::uint32_t kMinFrequency = 37;
constexpr std::uint32_t kMaxFrequency = 32767;

}  // namespace

BeepRequest ParseBeepParameter(std::string_view parameter) {
    std::int32_t frequency = 40;
    std::int32_t duration = 100;
    std::string_view name;
    const int pairs = ParseAttributeList(
        parameter,
        [&name](std::string_view n) {
            name = n;
            return true;
        },
        [&](std::string_view value) {
            if (name == "Freq") frequency = ReadAtoi32(value);
            if (name == "Duration") duration = ReadAtoi32(value);
            return true;
        });

    BeepRequest beep;
    if (pairs == 2) {
        // Compared as unsigned, so a negative frequency counts as too high.
        const auto f = static_cast<std::uint32_t>(frequency);
        beep.tone = true;
        beep.frequency =
            f < kMinFrequency ? kMinFrequency : (f > kMaxFrequency ? kMaxFrequency : f);
        beep.durationMs = static_cast<std::uint32_t>(duration);
        return beep;
    }
    beep.beepType = SystemBeepType(TrimAsciiSpace(parameter));
    return beep;
}

void SoundBeep(const BeepRequest& beep) {
    ISoundOutput& output = SoundOutput();
    if (beep.tone) {
        output.PlayTone(beep.frequency, beep.durationMs);
    } else {
        output.PlaySystemSound(SystemSoundEventId(beep.beepType));
    }
}

}  // namespace tellweir

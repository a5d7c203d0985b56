// The process-wide sound output and the system sound names.
#include "core/sound_output.h"

#include <atomic>

#include "base/ascii_text.h"
#include "core/canberra_sound_output.h"

namespace tellweir {
namespace {

std::atomic<ISoundOutput*> g_installed{nullptr};

struct SystemSound {
    std::string_view name;
    int type;
};

constexpr SystemSound kSystemSounds[] = {
    {"SystemAsterisk", kBeepAsterisk}, {"SystemExclamation", kBeepExclamation},
    {"SystemHand", kBeepHand},         {"SystemQuestion", kBeepQuestion},
    {"SystemDefault", kBeepDefault},
};

}  // namespace

ISoundOutput& SoundOutput() {
    if (ISoundOutput* installed = g_installed.load(std::memory_order_acquire)) return *installed;
    static CCanberraSoundOutput defaultOutput;
    return defaultOutput;
}

void SetSoundOutput(ISoundOutput* output) {
    g_installed.store(output, std::memory_order_release);
}

int SystemBeepType(std::string_view name) {
    for (const SystemSound& s : kSystemSounds) {
        if (EqualsIgnoreAsciiCase(name, s.name)) return s.type;
    }
    return kBeepSimple;
}

std::string_view SystemSoundEventId(int beepType) {
    switch (beepType) {
        case kBeepAsterisk:
            return "dialog-information";
        case kBeepExclamation:
            return "dialog-warning";
        case kBeepHand:
            return "dialog-error";
        case kBeepQuestion:
            return "dialog-question";
        default:
            return "bell";
    }
}

}  // namespace tellweir

// ISoundOutput: the sounds that actions make (tones, desktop event sounds, sound files), behind
// an interface so that tests install a recording fake and never need a sound device.
#pragma once

#include <cstdint>
#include <string_view>

namespace tellweir {

// Implementations are called from the engine thread and the main thread (action test) and must
// be thread-safe. Without a sound device every call fails fast; none may hang.
class ISoundOutput {
  public:
    virtual ~ISoundOutput() = default;

    // A sine tone; returns when it has ended (bounded by the implementation's time limit).
    virtual bool PlayTone(std::uint32_t frequency, std::uint32_t durationMs) = 0;
    // A desktop sound by its freedesktop sound-theme event id ("bell", "dialog-error", ...).
    virtual bool PlaySystemSound(std::string_view eventId) = 0;
    // Starts playing a sound file and returns; false when it cannot be played. No fallback
    // sound is played instead.
    virtual bool PlayFile(std::string_view path) = 0;
};

// The process's sound output: the one installed by SetSoundOutput, else the libcanberra output
// created on first use.
ISoundOutput& SoundOutput();
// Installs `output` (null: back to the default). The caller keeps it alive while installed.
void SetSoundOutput(ISoundOutput* output);

// The system beep types of the "Beep" action and the event ids that play them.
inline constexpr int kBeepSimple = -1;  // all bits set: the simple speaker beep
inline constexpr int kBeepDefault = 0;
inline constexpr int kBeepHand = 16;
inline constexpr int kBeepQuestion = 32;
inline constexpr int kBeepExclamation = 48;
inline constexpr int kBeepAsterisk = 64;

// The beep type of a system sound name ("SystemHand" ...), compared without regard to case;
// kBeepSimple for the empty name and for names not in the table.
int SystemBeepType(std::string_view name);
// "dialog-error" for kBeepHand and so on; "bell" for the default and the simple beep.
std::string_view SystemSoundEventId(int beepType);

}  // namespace tellweir

// Sine tones as WAV files: the "Beep" action's tone is played from a small file, written once
// per frequency and duration into a cache folder.
#pragma once

#include <cstdint>
#include <string>

namespace tellweir {

inline constexpr std::uint32_t kToneSampleRate = 44100;

// The whole content of a 16-bit mono PCM WAV file with a sine tone of `frequency` Hz lasting
// `durationMs` milliseconds. The first and last milliseconds fade in and out so the tone does not
// click.
std::string MakeSineWave(std::uint32_t frequency, std::uint32_t durationMs);

// The path of the tone's file in `folder` ("tone-<frequency>-<duration>.wav"), written (folder
// included) when it is not there yet. Empty when it cannot be written.
std::string EnsureToneFile(const std::string& folder, std::uint32_t frequency,
                           std::uint32_t durationMs);

}  // namespace tellweir

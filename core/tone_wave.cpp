// Writing sine tones as WAV files.
#include "core/tone_wave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/text_format.h"
#include "store/atomic_file.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

constexpr double kAmplitude = 0.5 * 32767.0;

void PutLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string MakeSineWave(std::uint32_t frequency, std::uint32_t durationMs) {
    const std::uint64_t samples = std::uint64_t{kToneSampleRate} * durationMs / 1000;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutLe(out, 36 + dataBytes, 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);                   // format chunk size
    PutLe(out, 1, 2);                    // PCM
    PutLe(out, 1, 2);                    // mono
    PutLe(out, kToneSampleRate, 4);      // samples per second
    PutLe(out, kToneSampleRate * 2, 4);  // bytes per second
    PutLe(out, 2, 2);                    // block align
    PutLe(out, 16, 2);                   // bits per sample
    out += "data";
    PutLe(out, dataBytes, 4);

    const double step = 2.0 * std::numbers::pi * frequency / kToneSampleRate;
    const std::uint64_t fade = std::min<std::uint64_t>(kToneSampleRate / 1000, samples / 2);
    for (std::uint64_t i = 0; i < samples; ++i) {
        double gain = 1.0;
        if (fade && i < fade) gain = static_cast<double>(i) / static_cast<double>(fade);
        if (fade && samples - 1 - i < fade) {
            gain = static_cast<double>(samples - 1 - i) / static_cast<double>(fade);
        }
        const double v = std::sin(step * static_cast<double>(i % kToneSampleRate)) * kAmplitude;
        PutLe(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * gain))), 2);
    }
    return out;
}

std::string EnsureToneFile(const std::string& folder, std::uint32_t frequency,
                           std::uint32_t durationMs) {
    if (folder.empty()) return {};
    std::string path = Format("%s/tone-%u-%u.wav", folder, frequency, durationMs);
    if (IsFile(path)) return path;
    if (!MakeDirectories(folder)) return {};
    if (!WriteFileAtomically(path, MakeSineWave(frequency, durationMs))) return {};
    return path;
}

}  // namespace tellweir

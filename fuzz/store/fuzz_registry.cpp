// Fuzzes the registry file reader: any bytes parse into a store that formats and parses again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "store/registry_file.h"
#include "store/registry_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tellweir::CRegistryFile file;
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!file.Parse(text)) return 0;
    const std::string formatted = file.Format();
    tellweir::CRegistryFile again;
    if (!again.Parse(formatted) || again.Format() != formatted) __builtin_trap();
    tellweir::CRegistryKey key(file);
    if (key.Open("Software\\Quandor Software\\Tellweir\\Settings", false)) {
        std::int32_t i = 0;
        std::int64_t i64 = 0;
        std::string s;
        key.ReadInt("Misc/Max Log Lines", i);
        key.ReadInt64("Misc/Stamp", i64);
        key.ReadString("HTTP/User Agent", s);
    }
    return 0;
}

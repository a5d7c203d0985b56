// MD4 (RFC 1320), for the one-time-password logins of FTP servers that still ask for it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tellweir {

using Md4Digest = std::array<std::uint8_t, 16>;

Md4Digest Md4(std::string_view message);

}  // namespace tellweir

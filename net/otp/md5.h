// MD5 (RFC 1321), for the one-time-password logins of FTP servers.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tellweir {

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest Md5(std::string_view message);

}  // namespace tellweir

// Ids of the transfer properties that the HTTP and FTP clients set from a server's replies,
// beside the file information of transfer/file_info.h.
#pragma once

#include "store/property_set.h"

namespace tellweir::prop {

inline constexpr PropertyId kStatusLine = 53;  // string: the reply's status line
inline constexpr PropertyId kHeaderFile = 60;  // string: local file that receives the reply header

}  // namespace tellweir::prop

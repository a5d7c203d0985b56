// The download size limit and the inflate sink that applies it to unpacked bytes.
#include "transfer/download_limit.h"

#include <algorithm>

#include "log/status_message.h"
#include "transfer/request_props.h"

namespace tellweir {

namespace {

constexpr std::int64_t kMebibyte = 1024 * 1024;
// Beyond any file system; keeps the byte count of a huge setting from overflowing.
constexpr std::int64_t kMaxMebibytes = std::int64_t{1} << 40;

}  // namespace

CDownloadLimit CDownloadLimit::FromMebibytes(std::int64_t mebibytes) {
    CDownloadLimit limit;
    limit.mebibytes_ = mebibytes > 0 ? std::min(mebibytes, kMaxMebibytes) : 0;
    return limit;
}

CDownloadLimit CDownloadLimit::ForRequest(const CPropertySet& request) {
    return FromMebibytes(request.Int(prop::kMaxDownloadSize));
}

bool CDownloadLimit::Allows(std::int64_t size) const {
    return !IsLimited() || size <= mebibytes_ * kMebibyte;
}

TransferResult CDownloadLimit::Refuse(ILog* log, bool unpacked) const {
    if (log)
        log->WriteFormat(kLevelError,
                         "Transfer aborted: the %s is larger than %I64d MiB (\"Misc/Max Download "
                         "Size\").",
                         unpacked ? "unpacked download" : "download", mebibytes_);
    return result::kTooLarge;
}

bool CLimitedInflateSink::Open(std::string_view storedName, std::uint32_t modificationTime,
                               std::uint32_t storedSize) {
    return inner_.Open(storedName, modificationTime, storedSize);
}

std::size_t CLimitedInflateSink::Write(const void* data, std::size_t size) {
    const std::int64_t total = written_ + static_cast<std::int64_t>(size);
    if (!limit_.Allows(total)) {
        exceeded_ = true;
        return 0;
    }
    const std::size_t taken = inner_.Write(data, size);
    written_ += static_cast<std::int64_t>(taken);
    return taken;
}

TransferResult CLimitedInflateSink::WriteFailure() const {
    return exceeded_ ? result::kTooLarge : inner_.WriteFailure();
}

}  // namespace tellweir

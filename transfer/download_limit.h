// CDownloadLimit: how many bytes one download may write ("Misc/Max Download Size"), checked by
// the protocols as a body arrives and by the unpacking of a gzip-encoded download; and the
// inflate sink that holds the unpacking to it.
#pragma once

#include <cstdint>
#include <string_view>

#include "log/log.h"
#include "log/transfer_result.h"
#include "store/property_set.h"
#include "transfer/gzip_inflate.h"

namespace tellweir {

class CDownloadLimit {
  public:
    // No limit.
    CDownloadLimit() = default;
    // 0 or below: no limit.
    static CDownloadLimit FromMebibytes(std::int64_t mebibytes);
    // The limit a request carries (property 7, copied from the setting).
    static CDownloadLimit ForRequest(const CPropertySet& request);

    bool IsLimited() const { return mebibytes_ > 0; }
    // True when a download of `size` bytes stays within the limit.
    bool Allows(std::int64_t size) const;
    // Writes why the download ends ("Transfer aborted: the download is larger than ...") and
    // gives 113; `unpacked` names the unpacked content instead of the bytes received.
    [[nodiscard]] TransferResult Refuse(ILog* log, bool unpacked = false) const;

  private:
    std::int64_t mebibytes_ = 0;
};

// Hands inflated bytes on to `inner` while their total stays within the limit; the write that
// would pass it is refused, and the inflating then ends with 113 (WriteFailure).
class CLimitedInflateSink final : public IInflateSink {
  public:
    CLimitedInflateSink(IInflateSink& inner, const CDownloadLimit& limit)
        : inner_(inner), limit_(limit) {}

    bool Open(std::string_view storedName, std::uint32_t modificationTime,
              std::uint32_t storedSize) override;
    std::size_t Write(const void* data, std::size_t size) override;
    bool StopRequested() override { return inner_.StopRequested(); }
    bool Finish() override { return inner_.Finish(); }
    TransferResult WriteFailure() const override;

    bool Exceeded() const { return exceeded_; }

  private:
    IInflateSink& inner_;
    const CDownloadLimit limit_;
    std::int64_t written_ = 0;
    bool exceeded_ = false;
};

}  // namespace tellweir

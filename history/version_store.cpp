// The versions folder of a task (to be built).
#include "history/version_store.h"

#include "store/setting_ids.h"

namespace tellweir {

VersionLimits VersionLimitsFrom(const CPropertySet& settings) {
    VersionLimits limits;
    limits.kept = settings.Int(setting::kVersionsKept);
    limits.maxBytes = std::int64_t{settings.Int(setting::kVersionsMaxSize)} << 20;
    return limits;
}

CVersionStore::CVersionStore(std::string folder) : folder_(std::move(folder)) {}

std::string CVersionStore::FolderFor(std::string_view samplePath) {
    return samplePath.empty() ? std::string() : std::string(samplePath) + ".versions";
}

std::vector<VersionRecord> CVersionStore::List(std::vector<std::string>* /*damaged*/) const {
    return {};
}

std::int32_t CVersionStore::NewestNumber() const {
    return 0;
}

VersionRead CVersionStore::Read(std::int32_t /*number*/, std::string& /*content*/,
                                VersionRecord* /*record*/) const {
    return VersionRead::Missing;
}

std::int32_t CVersionStore::Add(VersionRecord /*record*/, std::string_view /*content*/,
                                const VersionLimits& /*limits*/, std::string* /*error*/) {
    return 0;
}

std::int32_t CVersionStore::Viewed() const {
    return 0;
}

bool CVersionStore::SetViewed(std::int32_t /*number*/) {
    return false;
}

bool CVersionStore::RemoveAll() {
    return true;
}

}  // namespace tellweir

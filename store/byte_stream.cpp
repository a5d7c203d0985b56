// Byte sources and sinks over strings and stdio streams.
#include "store/byte_stream.h"

#include <algorithm>
#include <cstring>

namespace tellweir {

std::size_t CStringSource::Read(void* buffer, std::size_t count) {
    const std::size_t n = std::min(count, text_.size() - pos_);
    if (n > 0) std::memcpy(buffer, text_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t CFileSource::Read(void* buffer, std::size_t count) {
    if (file_ == nullptr) return 0;
    return std::fread(buffer, 1, count, file_);
}

void CFileSink::Write(std::string_view bytes) {
    if (file_ == nullptr) {
        good_ = false;
        return;
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) good_ = false;
}

}  // namespace tellweir

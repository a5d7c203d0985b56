// The buffered local file.
#include "transfer/buffered_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "transfer/local_fs.h"

namespace tellweir {

CBufferedFile::~CBufferedFile() {
    Close();
}

TransferResult CBufferedFile::Open(std::string_view path, Mode mode, std::int64_t offset) {
    Close();
    TransferResult r = result::kInvalidParameter;
    if (mode == kWrite) {
        if (IsFile(path)) SetReadOnly(path, false);
        // A symbolic link in the file's place is refused, never written through.
        r = file_.Open(path, O_CREAT | O_APPEND | O_RDWR | O_NOFOLLOW);
        if (r == result::kOk && offset != -1) {
            if (!file_.SetLength(offset) || file_.Seek(0, SEEK_END) != offset) {
                r = ResultFromErrno(file_.LastError() ? file_.LastError() : EINVAL);
                file_.Close();
            }
        }
        if (r == result::kOk) file_.Seek(0, SEEK_END);
    } else if (mode == kRead) {
        r = file_.Open(path, O_RDONLY);
        if (r == result::kOk && file_.Seek(offset == -1 ? 0 : offset, SEEK_SET) < 0) {
            r = ResultFromErrno(file_.LastError());
            file_.Close();
        }
    }
    if (r != result::kOk) return r;
    mode_ = mode;
    begin_ = end_ = 0;
    if (buffer_.size() != kBufferSize) buffer_.assign(kBufferSize, 0);
    return r;
}

bool CBufferedFile::Close() {
    if (mode_ == kClosed) return true;
    bool ok = Flush();
    ok = file_.Close() && ok;
    mode_ = kClosed;
    begin_ = end_ = 0;
    return ok;
}

void CBufferedFile::SetBuffering(bool on) {
    if (!on) Flush();
    buffering_ = on;
}

bool CBufferedFile::Flush() {
    if (mode_ != kWrite || end_ == 0) return true;
    const std::size_t written = file_.Write(buffer_.data(), end_);
    // Keep what could not be written, so a later flush can try again.
    std::memmove(buffer_.data(), buffer_.data() + written, end_ - written);
    end_ -= written;
    return end_ == 0;
}

std::size_t CBufferedFile::Write(const void* data, std::size_t size) {
    if (mode_ != kWrite) return 0;
    if (!buffering_) return file_.Write(data, size);
    const auto* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t take = std::min(size - done, kBufferSize - end_);
        std::memcpy(buffer_.data() + end_, bytes + done, take);
        end_ += take;
        done += take;
        if (end_ >= kBufferSize && !Flush()) {
            // The bytes of this call still in the buffer were not accepted.
            const std::size_t kept = std::min(end_, take);
            end_ -= kept;
            return done - kept;
        }
    }
    return done;
}

std::int64_t CBufferedFile::Read(void* buffer, std::size_t size) {
    if (mode_ != kRead) return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        if (begin_ < end_) {
            const std::size_t take = std::min(size - done, end_ - begin_);
            std::memcpy(out + done, buffer_.data() + begin_, take);
            begin_ += take;
            done += take;
            continue;
        }
        // Large requests and unbuffered files go straight to the caller's memory.
        if (!buffering_ || size - done >= kBufferSize) {
            const std::int64_t n = file_.Read(out + done, size - done);
            if (n < 0) return done ? static_cast<std::int64_t>(done) : -1;
            if (n == 0) break;
            done += static_cast<std::size_t>(n);
            continue;
        }
        const std::int64_t n = file_.Read(buffer_.data(), kBufferSize);
        if (n < 0) return done ? static_cast<std::int64_t>(done) : -1;
        if (n == 0) break;
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

std::int64_t CBufferedFile::Position() {
    if (mode_ == kClosed) return -1;
    if (mode_ == kWrite) {
        if (!Flush()) return -1;
        return file_.Position();
    }
    const std::int64_t position = file_.Position();
    return position < 0 ? -1 : position - static_cast<std::int64_t>(end_ - begin_);
}

std::int64_t CBufferedFile::Seek(std::int64_t offset, int whence) {
    if (mode_ == kClosed) return -1;
    if (mode_ == kWrite && !Flush()) return -1;
    if (mode_ == kRead) {
        // The file position is ahead of the reader by what is still buffered.
        if (whence == SEEK_CUR) offset -= static_cast<std::int64_t>(end_ - begin_);
        begin_ = end_ = 0;
    }
    return file_.Seek(offset, whence);
}

}  // namespace tellweir

// Existence, deletion, directory creation, sizes, the read-only attribute, percent decoding.
#include "transfer/local_fs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/ascii_text.h"
#include "store/private_folder.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"

namespace tellweir {
namespace {

bool StatPath(std::string_view path, struct stat& st) {
    if (path.empty()) return false;
    return ::stat(NativePath(path).c_str(), &st) == 0;
}

}  // namespace

PathKind GetPathKind(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st)) return PathKind::Missing;
    return S_ISDIR(st.st_mode) ? PathKind::Directory : PathKind::File;
}

PathStatus GetPathStatus(std::string_view path) {
    struct stat st {};
    PathStatus status;
    if (!StatPath(path, st)) return status;
    if (S_ISDIR(st.st_mode)) {
        status.kind = PathKind::Directory;
        status.size = 0;
        return status;
    }
    status.kind = PathKind::File;
    status.special = !S_ISREG(st.st_mode);
    status.size = static_cast<std::int64_t>(st.st_size);
    return status;
}

bool IsFile(std::string_view path) {
    return GetPathKind(path) == PathKind::File;
}

bool IsDirectory(std::string_view path) {
    return GetPathKind(path) == PathKind::Directory;
}

bool EntryExists(std::string_view path) {
    struct stat st {};
    return !path.empty() && ::lstat(NativePath(path).c_str(), &st) == 0;
}

bool IsSpecialFile(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

bool DeleteFile(std::string_view path) {
    if (path.empty()) return false;
    const std::string native = NativePath(path);
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (!S_ISLNK(st.st_mode)) SetReadOnly(path, false);
    return ::unlink(native.c_str()) == 0;
}

bool MakeDirectories(std::string_view path) {
    return MakePrivateFolders(NativePath(path));
}

std::int64_t GetFileSize(std::string_view path) {
    struct stat st {};
    if (!StatPath(path, st)) return -1;
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

bool SetFileSize(std::string_view path, std::int64_t size) {
    if (size < 0) return false;
    CLocalFile file;
    if (file.Open(path, O_RDWR | O_CREAT) != result::kOk) return false;
    if (file.Length() != size) file.SetLength(size);
    const bool ok = file.Length() == size;
    return file.Close() && ok;
}

bool IsReadOnly(std::string_view path) {
    struct stat st {};
    return StatPath(path, st) && (st.st_mode & S_IWUSR) == 0;
}

bool SetReadOnly(std::string_view path, bool readOnly) {
    struct stat st {};
    if (!StatPath(path, st)) return false;
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? (mode & ~mode_t{S_IWUSR}) : (mode | S_IWUSR);
    if (mode == (st.st_mode & 07777)) return true;
    return ::chmod(NativePath(path).c_str(), mode) == 0;
}

std::string PercentDecode(std::string_view text, char escape) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escaped = text[i] == escape && i + 2 < text.size() &&
                             HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0;
        if (escaped) {
            out.push_back(
                static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

}  // namespace tellweir

// Copying and moving files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/ascii_text.h"
#include "transfer/file_path.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

bool RenamePath(std::string_view from, std::string_view to) {
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool CopyContent(CLocalFile& in, CLocalFile& out) {
    std::string buffer(65536, '\0');
    for (;;) {
        const std::int64_t n = in.Read(buffer.data(), buffer.size());
        if (n < 0) return false;
        if (n == 0) return true;
        if (out.Write(buffer.data(), static_cast<std::size_t>(n)) != static_cast<std::size_t>(n))
            return false;
    }
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    LowerAsciiInPlace(out);
    return out;
}

}  // namespace

std::string FreeTemporaryName(std::string_view source) {
    for (unsigned n = 0;; ++n) {
        std::string candidate = std::string(source) + "_" + std::to_string(n);
        if (GetPathKind(candidate) == PathKind::Missing) return candidate;
    }
}

bool CopyFile(std::string_view source, std::string_view destination) {
    CLocalFile in;
    if (in.OpenRegularForReading(source) != result::kOk) return false;
    struct stat st {};
    if (::fstat(in.Descriptor(), &st) != 0) return false;
    const std::string_view folder = PathDirectory(destination);
    if (folder.size() < destination.size()) MakeDirectories(folder);
    CLocalFile out;
    if (out.Open(destination, O_WRONLY | O_CREAT | O_EXCL) != result::kOk) return false;
    bool ok = CopyContent(in, out);
    if (ok) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ok = ::fchmod(out.Descriptor(), (st.st_mode & 07777) | S_IWUSR) == 0 &&
             ::futimens(out.Descriptor(), times) == 0;
    }
    ok = out.Close() && ok;
    // The copy keeps the source's read-only attribute; closing cleared it.
    if (ok && (st.st_mode & S_IWUSR) == 0) SetReadOnly(destination, true);
    if (!ok) ::unlink(NativePath(destination).c_str());
    return ok;
}

bool MoveFile(std::string_view source, std::string_view destination) {
    if (source.empty() || destination.empty() || !SetReadOnly(source, false)) return false;
    const std::string lowSource = Lowered(source);
    const std::string lowDestination = Lowered(destination);
    if (lowDestination.size() <= lowSource.size() || !lowDestination.starts_with(lowSource))
        return RenamePath(source, destination);

    // Linux names are case-sensitive, so the parking name keeps the source's case.
    const std::string parked = FreeTemporaryName(source);
    if (!RenamePath(source, parked)) return false;
    const std::string_view folder = PathDirectory(destination);
    if (folder.size() < destination.size()) MakeDirectories(folder);
    if (RenamePath(parked, destination)) return true;
    RenamePath(parked, source);
    return false;
}

}  // namespace tellweir

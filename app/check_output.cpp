// The output of --check --download: its checks, the local copy and the staged remote download.
#include "app/check_output.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "base/text_format.h"
#include "log/log.h"
#include "log/status_message.h"
#include "transfer/file_path.h"
#include "transfer/file_replace.h"
#include "transfer/local_file.h"
#include "transfer/local_fs.h"

namespace tellweir {
namespace {

volatile std::sig_atomic_t g_stopRequested = 0;
struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void OnStopSignal(int) {
    g_stopRequested = 1;
}

// Makes the folder of `path` when it names a missing one.
void MakeFolderFor(const std::string& path) {
    const std::string_view folder = PathDirectory(path);
    if (folder.size() < path.size() && !IsDirectory(folder)) MakeDirectories(folder);
}

std::string CannotCopy(const std::string& source, const std::string& output) {
    const FormatArg args[] = {source, output};
    return FormatStatusMessage(msg::kCannotCopyFile, args);
}

}  // namespace

CCheckStopSignals::CCheckStopSignals() {
    g_stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    // Calls under way go on; the copy and the wait look at the flag often enough.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
}

CCheckStopSignals::~CCheckStopSignals() {
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
}

bool CCheckStopSignals::StopRequested() {
    return g_stopRequested != 0;
}

TransferResult CheckOutputTarget(const std::string& output, const struct stat* source,
                                 std::string& reason) {
    struct stat st {};
    if (::lstat(NativePath(output).c_str(), &st) != 0) {
        if (errno == ENOENT) return result::kOk;
        reason = Format("Cannot open file \"%s\".", output);
        return result::kAccessDenied;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = Format("Output file \"%s\" is not a regular file.", output);
        return result::kAccessDenied;
    }
    if (source && st.st_dev == source->st_dev && st.st_ino == source->st_ino) {
        reason = Format("Output file \"%s\" is the checked file itself.", output);
        return result::kAccessDenied;
    }
    return result::kOk;
}

TransferResult CopyToOutput(const std::string& source, const std::string& output,
                            std::string& reason) {
    CLocalFile in;
    TransferResult copied = in.OpenRegularForReading(source);
    struct stat st {};
    if (copied == result::kOk && ::fstat(in.Descriptor(), &st) != 0)
        copied = ResultFromErrno(errno);
    if (copied != result::kOk) {
        reason = Format("Cannot open file \"%s\".", source);
        return copied;
    }
    copied = CheckOutputTarget(output, &st, reason);
    if (copied != result::kOk) return copied;
    MakeFolderFor(output);
    CFileReplacement out;
    copied = out.Create(output);
    if (copied == result::kOk)
        copied = CopyFileData(in, out.File(), st.st_size, CCheckStopSignals::StopRequested);
    if (copied == result::kOk) {
        const timespec times[2] = {st.st_atim, st.st_mtim};
        if (::fchmod(out.File().Descriptor(), st.st_mode & 07777) != 0 ||
            ::futimens(out.File().Descriptor(), times) != 0)
            copied = ResultFromErrno(errno);
    }
    if (copied == result::kOk) copied = out.Commit();
    if (copied != result::kOk) reason = CannotCopy(source, output);
    return copied;
}

CStagedOutput::~CStagedOutput() {
    if (!folder_.empty()) RemoveDirectory(folder_, "*");
}

TransferResult CStagedOutput::Create(const std::string& output, std::string& reason) {
    const TransferResult checked = CheckOutputTarget(output, nullptr, reason);
    if (checked != result::kOk) return checked;
    output_ = NativePath(output);
    MakeFolderFor(output_);
    std::string pattern = output_ + ".tmpXXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        const FormatArg args[] = {pattern};
        reason = FormatStatusMessage(msg::kCannotCreateDir, args);
        return ResultFromErrno(errno);
    }
    folder_ = pattern;
    const std::string_view name = PathFileName(output_);
    staged_ = folder_ + "/" + std::string(name.empty() ? "index.html" : name);
    return result::kOk;
}

TransferResult CStagedOutput::Commit(std::string& reason, std::string& notice) {
    TransferResult moved = CheckOutputTarget(output_, nullptr, reason);
    if (moved != result::kOk) return moved;
    if (std::rename(staged_.c_str(), output_.c_str()) != 0) {
        reason = CannotCopy(staged_, output_);
        return ResultFromErrno(errno);
    }
    const std::string packed = staged_ + ".gz";
    if (EntryExists(packed)) {
        const std::string kept = output_ + ".gz";
        if (EntryExists(kept))
            notice = Format("Compressed copy not kept: \"%s\" exists.", kept);
        else if (std::rename(packed.c_str(), kept.c_str()) != 0)
            notice = CannotCopy(packed, kept);
    }
    return result::kOk;
}

}  // namespace tellweir

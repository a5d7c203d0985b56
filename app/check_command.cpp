// --check: one transfer run now, exactly as a task run would make it, with its log on standard
// error and the file information on standard output in the INFO file form.
#include <unistd.h>

#include <cstdio>

#include "app/check_output.h"
#include "app/commands.h"
#include "app/log_echo.h"
#include "app/services.h"
#include "core/info_file.h"
#include "core/task_properties.h"
#include "log/error_words.h"
#include "log/log_registry.h"
#include "store/app_settings.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_fs.h"
#include "transfer/request_props.h"
#include "transfer/transfer_manager.h"
#include "url/local_path.h"
#include "url/url_mask.h"

namespace tellweir {

namespace {

// How often a wait for the transfer looks at the stop signals.
constexpr std::int32_t kStopPollMs = 200;

std::string AbsolutePath(std::string_view path) {
    char cwd[4096];
    if (IsAbsolutePath(path) || ::getcwd(cwd, sizeof cwd) == nullptr) return std::string(path);
    return JoinPath(cwd, path);
}

// The file a local URI names: without a "file:" scheme, with "~/" expanded.
std::string LocalFilePath(std::string_view uri) {
    if (uri.starts_with("file://"))
        uri.remove_prefix(7);
    else if (uri.starts_with("file:"))
        uri.remove_prefix(5);
    return NativePath(uri);
}

// The INFO file's name="value" text of the information, the URL shown without its password.
std::string InfoLine(const std::string& uri, const CPropertySet& found) {
    CPropertySet info;
    InfoFileTable().ApplyDefaults(info);
    info.SetString(task::kUri, MaskUrlPassword(uri));
    for (PropertyId id : {task::kETag, task::kContentType, task::kTimeModified, task::kTimeCreated})
        if (found.Has(id)) info.SetString(id, found.String(id));
    info.SetInt64(task::kSize, found.Int64(task::kSize));
    return InfoFileTable().FormatNonDefaults(info);
}

std::string DefaultOutput(const std::string& uri) {
    std::string name(PathFileName(uri.substr(0, uri.find_first_of("?#"))));
    return AbsolutePath(name.empty() ? "index.html" : name);
}

int CheckLocal(const ProgramOptions& options) {
    const std::string path = LocalFilePath(options.uri);
    CFindFile found;
    if (!found.Find(path) || found.IsDirectory() || IsSpecialFile(path)) {
        // A FIFO or a device is refused like a folder: reading one could wait for ever.
        std::fprintf(stderr, "%s\n",
                     !found.Found()        ? "File not found."
                     : found.IsDirectory() ? "Local folder monitoring is not supported."
                                           : "Local special file monitoring is not supported.");
        std::fprintf(stderr, "%s\n", ResultName(found.Found() ? 100 : 106).c_str());
        return 1;
    }
    CPropertySet info;
    info.SetInt64(task::kSize, found.Size());
    info.SetString(task::kTimeModified, found.LastWriteTime().Format(kFileTimeFormat));
    if (found.CreationTime())
        info.SetString(task::kTimeCreated, found.CreationTime()->Format(kFileTimeFormat));
    if (options.download) {
        const std::string output = options.output.empty() ? DefaultOutput(path) : options.output;
        std::string reason;
        const TransferResult copied = CopyToOutput(path, output, reason);
        if (copied != result::kOk) {
            std::fprintf(stderr, "%s\n%s\n", reason.c_str(), ResultName(copied).c_str());
            return 1;
        }
    }
    std::printf("%s\n", InfoLine(options.uri, info).c_str());
    return 0;
}

int CheckRemote(const ProgramOptions& options) {
    CTransferRequest request;
    if (!request.SetUrl(options.uri, false)) {
        std::fprintf(stderr, "Invalid URL: \"%s\".\n%s\n", MaskUrlPassword(options.uri).c_str(),
                     ResultName(102).c_str());
        return 1;
    }
    CTransferManager& manager = *CTransferManager::Get();
    const std::int32_t logId = manager.Logs().CreateLog();
    request.SetInt(prop::kLogId, logId);
    request.SetInt(prop::kOperation,
                   options.download ? prop::kOperationDownload : prop::kOperationFileInfo);
    const std::string output =
        options.output.empty() ? DefaultOutput(options.uri) : AbsolutePath(options.output);
    // A download is received beside the output and moved over it only once it is complete.
    CStagedOutput staged;
    if (options.download) {
        std::string reason;
        const TransferResult created = staged.Create(output, reason);
        if (created != result::kOk) {
            std::fprintf(stderr, "%s\n%s\n", reason.c_str(), ResultName(created).c_str());
            return 1;
        }
    }
    request.SetString(prop::kLocalFile, options.download ? staged.Path() : output);
    TransferStatus status;
    CTransferRequest outcome;
    {
        CLogEcho echo(stderr);
        echo.Watch(manager.Logs().GetLog(logId), "");
        std::int32_t id = 0;
        if (manager.AddTransfer(request, id, true) != kManagerOk) {
            std::fprintf(stderr, "tellweir: the transfer could not be added\n");
            return 1;
        }
        // Waiting on a transfer that exists ends with Ok or, after the time given, Busy; a stop
        // signal stops the transfer, and the wait then ends with it. The outcome is in
        // `status`, and the removal only tidies up.
        while (manager.WaitTransfer(id, status, kStopPollMs) == kManagerBusy) {
            if (CCheckStopSignals::StopRequested()) (void)manager.StopTransfer(id);
        }
        (void)manager.GetRequest(id, outcome);
        (void)manager.RemoveTransfer(id);
    }
    if (status.result != 0) {
        std::fprintf(stderr, "%s\n", ResultText(status.result).c_str());
        return 1;
    }
    if (options.download) {
        std::string reason, notice;
        const TransferResult moved = staged.Commit(reason, notice);
        if (!notice.empty()) std::fprintf(stderr, "%s\n", notice.c_str());
        if (moved != result::kOk) {
            std::fprintf(stderr, "%s\n%s\n", reason.c_str(), ResultName(moved).c_str());
            return 1;
        }
    }
    CPropertySet info;
    info.SetString(task::kETag, outcome.String(prop::kETag));
    info.SetString(task::kContentType, outcome.String(prop::kContentType));
    info.SetInt64(task::kSize, outcome.Int64(prop::kSize));
    info.SetString(task::kTimeModified, outcome.String(prop::kTimeModified));
    std::printf("%s\n", InfoLine(options.uri, info).c_str());
    return 0;
}

}  // namespace

int CheckCommand(const ProgramOptions& options) {
    // SIGINT and SIGTERM stop a long copy or download cleanly, leaving no partial output.
    const CCheckStopSignals stopSignals;
    SetProgramIdentity();
    if (IsLocalPath(options.uri)) {
        LoadSettings(AppSettingTable(), AppSettings());
        return CheckLocal(options);
    }
    // The stores are read but not written back: another copy of the program may be running.
    if (!StartServices(nullptr, false)) {
        std::fprintf(stderr, "tellweir: the network layer could not be started\n");
        return 1;
    }
    const int status = CheckRemote(options);
    StopServices();
    return status;
}

}  // namespace tellweir

// --check: one transfer run now, exactly as a task run would make it, with its log on standard
// error and the file information on standard output in the INFO file form.
#include <unistd.h>

#include <cstdio>

#include "app/commands.h"
#include "app/log_echo.h"
#include "app/services.h"
#include "core/info_file.h"
#include "core/task_properties.h"
#include "log/log_registry.h"
#include "store/app_settings.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_fs.h"
#include "transfer/request_props.h"
#include "transfer/transfer_manager.h"
#include "url/local_path.h"

namespace tellweir {

namespace {

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

// The INFO file's name="value" text of the information.
std::string InfoLine(const std::string& uri, const CPropertySet& found) {
    CPropertySet info;
    InfoFileTable().ApplyDefaults(info);
    info.SetString(task::kUri, uri);
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
    if (!found.Find(path) || found.IsDirectory()) {
        std::fprintf(
            stderr, "%s\n",
            found.Found() ? "Local folder monitoring is not supported." : "File not found.");
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
        DeleteFile(output);
        if (!CopyFile(path, output)) {
            std::fprintf(stderr, "Cannot copy file \"%s\" to \"%s\".\n%s\n", path.c_str(),
                         output.c_str(), ResultName(108).c_str());
            return 1;
        }
    }
    std::printf("%s\n", InfoLine(options.uri, info).c_str());
    return 0;
}

int CheckRemote(const ProgramOptions& options) {
    CTransferRequest request;
    if (!request.SetUrl(options.uri, false)) {
        std::fprintf(stderr, "Invalid URL: \"%s\".\n%s\n", options.uri.c_str(),
                     ResultName(102).c_str());
        return 1;
    }
    CTransferManager& manager = *CTransferManager::Get();
    const std::int32_t logId = manager.Logs().CreateLog();
    request.SetInt(prop::kLogId, logId);
    request.SetInt(prop::kOperation,
                   options.download ? prop::kOperationDownload : prop::kOperationFileInfo);
    request.SetString(prop::kLocalFile, options.output.empty() ? DefaultOutput(options.uri)
                                                               : AbsolutePath(options.output));
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
        // Waiting without a limit on a transfer that exists ends with Ok; the outcome is in
        // `status`, and the removal only tidies up.
        (void)manager.WaitTransfer(id, status, -1);
        (void)manager.GetRequest(id, outcome);
        (void)manager.RemoveTransfer(id);
    }
    if (status.result != 0) {
        std::fprintf(stderr, "%s\n", ResultName(status.result).c_str());
        return 1;
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

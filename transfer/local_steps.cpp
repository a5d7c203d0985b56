// Preparing the target directory and describing the local target file.
#include "transfer/local_steps.h"

#include <string>

#include "log/status_message.h"
#include "transfer/file_info.h"
#include "transfer/file_path.h"
#include "transfer/find_file.h"
#include "transfer/local_fs.h"
#include "url/file_type.h"

namespace tellweir {

TransferResult PrepareTargetDir(std::string_view targetPath, ILog* log) {
    std::string path(targetPath);
    for (char& c : path)
        if (c == '\\') c = '/';
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        if (log) log->WriteFormat(kLevelError, "Invalid name %s.", path);
        return result::kInvalidParameter;
    }
    // A target right below the root has "/" as its directory.
    const std::string directory = slash == 0 ? "/" : path.substr(0, slash);
    if (!IsDirectory(directory)) {
        if (log) log->WriteFormat(kLevelStatus, "Creating new local dir %s.", directory);
        if (!MakeDirectories(directory)) {
            if (log) log->WriteFormat(kLevelError, "Cant create local dir %s.", directory);
            return result::kAccessDenied;
        }
    }
    return result::kOk;
}

TransferResult LocalFileInfo(CPropertySet& request, ILog* log) {
    const std::string path = request.String(prop::kLocalFile);
    CFindFile find;
    if (find.Find(path)) {
        const std::string time = find.LastWriteTime().Format(kFileTimeFormat);
        const FileType type =
            find.IsDirectory() ? FileType::LocalFolder : ClassifyContent("", find.Name());
        request.SetString(prop::kLocalReserved, "");
        request.SetInt64(prop::kLocalSize, find.Size());
        request.SetInt(prop::kLocalType, static_cast<std::int32_t>(type));
        request.SetString(prop::kLocalTime, time);
        if (log) log->WriteMessage(kLevelStatus, msg::kLocalFileInfo, path, find.Size(), time);
        return result::kOk;
    }
    const int operation = request.Int(prop::kOperation);
    if (operation != prop::kOperationDownload && operation != prop::kOperationFileInfo &&
        operation != prop::kOperationAutomatic) {
        if (log) log->WriteMessage(kLevelError, msg::kFileNotFound, path);
    }
    return result::kNotFound;
}

}  // namespace tellweir

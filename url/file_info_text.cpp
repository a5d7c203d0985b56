// The one-line file information text.
#include "url/file_info_text.h"

namespace tellweir {

std::string DescribeFileInfo(const FileInfoSummary& info) {
    std::string_view name = FileTypeName(info.type);
    if (name.empty()) name = FileTypeName(FileType::Unknown);

    std::string text = "type= ";
    text += name;
    if (info.sizeKnown && info.size != 0) {
        text += ", size= ";
        text += std::to_string(info.size);
    }
    if (!info.timeModified.empty()) {
        text += ", time=\"";
        text += info.timeModified;
        text += '"';
    }
    if (!info.etag.empty()) {
        text += ", E-Tag= ";
        text += info.etag;
    }
    return text;
}

}  // namespace tellweir

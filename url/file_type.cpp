// File type names and content classification.
#include "url/file_type.h"

#include <array>
#include <string>

#include "base/ascii_text.h"
#include "url/local_path.h"

namespace tellweir {
namespace {

constexpr std::array<std::string_view, 18> kNames = {
    "UNKNOWN", "TEXT",       "FILE",    "HTML",    "IMAGE",       "AUDIO",
    "VIDEO",   "ARCHIVE",    "FTPLIST", "FTPLINK", "LOCALFOLDER", "HTTPREDIRECT",
    "FORM",    "GENERICURL", "URLLIST", "MAILTO",  "SCRIPT",      "ANCHOR",
};

struct Marker {
    std::string_view text;
    FileType type;
};

// Order matters: "text/html" before "text/".
constexpr Marker kContentTypeMarkers[] = {
    {"text/html", FileType::Html},     {"text/", FileType::Text},
    {"/octet-stream", FileType::Text}, {"/x-javascript", FileType::Text},
    {"image/", FileType::Image},       {"video/", FileType::Video},
    {"audio/", FileType::Audio},       {"/zip", FileType::Archive},
    {"/rar", FileType::Archive},       {"/tar", FileType::Archive},
    {"/x-tar", FileType::Archive},
};

constexpr Marker kExtensions[] = {
    {".html", FileType::Html},   {".htm", FileType::Html},   {".hhc", FileType::Html},
    {".xml", FileType::Html},    {".css", FileType::Html},   {".dhtml", FileType::Html},
    {".shtml", FileType::Html},  {".jpeg", FileType::Image}, {".png", FileType::Image},
    {".gif", FileType::Image},   {".jpg", FileType::Image},  {".jpe", FileType::Image},
    {".bmp", FileType::Image},   {".pcx", FileType::Image},  {".txt", FileType::Text},
    {".h", FileType::Text},      {".hpp", FileType::Text},   {".c", FileType::Text},
    {".cpp", FileType::Text},    {".rc", FileType::Text},    {".log", FileType::Text},
    {".zip", FileType::Archive}, {".gz", FileType::Archive}, {".rar", FileType::Archive},
    {".wav", FileType::Audio},   {".mp3", FileType::Audio},  {".avi", FileType::Video},
    {".mpeg", FileType::Video},  {".asf", FileType::Video},  {".mpg", FileType::Video},
};

}  // namespace

std::string_view FileTypeName(FileType type) {
    const auto index = static_cast<std::int32_t>(type);
    if (index < 0 || index >= static_cast<std::int32_t>(kNames.size())) return {};
    return kNames[static_cast<std::size_t>(index)];
}

FileType FileTypeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (EqualsIgnoreAsciiCase(name, kNames[i])) return static_cast<FileType>(i);
    }
    return FileType::Unknown;
}

FileType ClassifyContent(std::string_view contentType, std::string_view path) {
    for (const Marker& marker : kContentTypeMarkers) {
        if (contentType.find(marker.text) != std::string_view::npos) return marker.type;
    }
    if (path.empty()) return FileType::Unknown;
    std::string extension(GetFileExtension(path));
    LowerAsciiInPlace(extension);
    for (const Marker& marker : kExtensions) {
        if (extension == marker.text) return marker.type;
    }
    return FileType::File;
}

}  // namespace tellweir

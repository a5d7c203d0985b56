// The URL history file writer.
#include "shell/program/url_history_file.h"

#include "store/atomic_file.h"
#include "store/xml_escape.h"

namespace tellweir {

bool SaveUrlHistory(const std::string& path, const CUrlHistory& history, std::size_t limit) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<History>\r\n";
    std::size_t written = 0;
    for (const std::string& url : history.Items()) {
        if (written++ == limit) break;
        text += "  <Item URI=\"";
        AppendXmlEscaped(text, url);
        text += "\"/>\r\n";
    }
    text += "</History>\r\n";
    return WriteFileAtomically(path, text);
}

}  // namespace tellweir

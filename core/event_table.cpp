// The event vocabulary and the events of each kind of task.
#include "core/event_table.h"

#include <algorithm>

#include "base/ascii_text.h"

namespace tellweir {
namespace {

struct EventNames {
    std::string_view handler;
    std::string_view display;
};

constexpr EventNames kEvents[kEventCount] = {
    {"OnFirstTime", "First Time"},
    {"OnOK", "OK"},
    {"OnError", "Error"},
    {"OnUp", "UP"},
    {"OnResolveError", "Resolve Error"},
    {"OnNetworkError", "Network Error"},
    {"OnTimeoutError", "Timeout Error"},
    {"OnAuthError", "Auth Error"},
    {"OnLocalFileExists", "Local File Exists"},
    {"OnLocalDirExists", "Local Dir Exists"},
    {"OnNotExists", "Not Exists"},
    {"OnAccessDenied", "Access Denied"},
    {"OnChanged", "Changed"},
    {"OnContentChanged", "Content Changed"},
    {"OnSizeChanged", "Size Changed"},
    {"OnTimeModifiedChanged", "Time Modified Changed"},
    {"OnTimeCreatedChanged", "Time Created Changed"},
    {"OnETagChanged", "E-Tag Changed"},
    {"OnContentTypeChanged", "Content Type Changed"},
    {"OnHTTPError", "HTTP Error"},
    {"OnHTTP4xxError", "HTTP 4xx Error"},
    {"OnHTTP5xxError", "HTTP 5xx Error"},
    {"OnHTTPRedirect", "HTTP Redirect"},
    {"OnFTPError", "FTP Error"},
    {"OnFTP4xxError", "FTP 4xx Error"},
    {"OnFTP5xxError", "FTP 5xx Error"},
};

// "Changed" is in no list: it may be stored, but it is never chosen.
constexpr int kNullEvents[] = {0, 1};
constexpr int kLocalEvents[] = {0, 1, 2, 3, 8, 9, 10, 11, 13, 14, 15, 16};
constexpr int kHttpEvents[] = {0, 1, 2, 3, 10, 11, 13, 14, 15, 17, 18, 4, 5, 6, 7, 19, 20, 21, 22};
constexpr int kHttpsEvents[] = {0, 1, 2, 3, 10, 11, 13, 14, 15, 17, 18, 4, 6, 5, 7, 19, 20, 21, 22};
constexpr int kFtpEvents[] = {0, 1, 2, 3, 10, 11, 13, 14, 15, 4, 5, 6, 7, 23, 24, 25};

}  // namespace

bool IsEventIndex(int event) {
    return event >= 0 && event < kEventCount;
}

std::string_view EventHandlerName(int event) {
    return IsEventIndex(event) ? kEvents[event].handler : std::string_view();
}

std::string_view EventDisplayName(int event) {
    return IsEventIndex(event) ? kEvents[event].display : std::string_view();
}

int FindEvent(std::string_view name) {
    for (int i = 0; i < kEventCount; ++i) {
        if (EqualsIgnoreAsciiCase(name, kEvents[i].handler) ||
            EqualsIgnoreAsciiCase(name, kEvents[i].display)) {
            return i;
        }
    }
    return -1;
}

std::span<const int> EventsForKind(int kind) {
    switch (kind) {
        case kKindNull:
            return kNullEvents;
        case kKindLocal:
            return kLocalEvents;
        case 1:
            return kHttpEvents;
        case 2:
            return kHttpsEvents;
        case 3:
            return kFtpEvents;
        default:
            return {};
    }
}

bool EventAppliesToKind(int event, int kind) {
    const std::span<const int> events = EventsForKind(kind);
    return std::find(events.begin(), events.end(), event) != events.end();
}

}  // namespace tellweir

// The event vocabulary of monitor tasks: event indexes with their handler and display names, and
// which events apply to which kind of task.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tellweir {

// Event indexes. The handler name is the key under which an event table and the queue file
// store an event; the display name is what the user and the logs see.
enum MonitorEvent : int {
    kEventFirstTime = 0,
    kEventOk = 1,
    kEventError = 2,
    kEventUp = 3,
    kEventResolveError = 4,
    kEventNetworkError = 5,
    kEventTimeoutError = 6,
    kEventAuthError = 7,
    kEventLocalFileExists = 8,
    kEventLocalDirExists = 9,
    kEventNotExists = 10,
    kEventAccessDenied = 11,
    kEventChanged = 12,
    kEventContentChanged = 13,
    kEventSizeChanged = 14,
    kEventTimeModifiedChanged = 15,
    kEventTimeCreatedChanged = 16,
    kEventETagChanged = 17,
    kEventContentTypeChanged = 18,
    kEventHttpError = 19,
    kEventHttp4xxError = 20,
    kEventHttp5xxError = 21,
    kEventHttpRedirect = 22,
    kEventFtpError = 23,
    kEventFtp4xxError = 24,
    kEventFtp5xxError = 25,
};
inline constexpr int kEventCount = 26;

// Kinds of task, derived from the URI. Other values are protocol ids (1 HTTP, 2 HTTPS, 3 FTP);
// any value outside these has no events at all.
inline constexpr int kKindNull = -2;   // URI beginning with "<null"
inline constexpr int kKindLocal = -1;  // local file or folder path

bool IsEventIndex(int event);
// Empty for an index outside 0..25.
std::string_view EventHandlerName(int event);
std::string_view EventDisplayName(int event);
// The index of the event whose handler or display name equals `name` without regard to case;
// -1 when none does.
int FindEvent(std::string_view name);

// The events that apply to a task of `kind`, in the order the event dialogs list them.
std::span<const int> EventsForKind(int kind);
bool EventAppliesToKind(int event, int kind);

}  // namespace tellweir

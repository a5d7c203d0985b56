// Default action texts of a new task's events.
#include "core/default_events.h"

#include "base/text_format.h"
#include "core/action_line.h"
#include "core/event_table.h"

namespace tellweir {

std::string DefaultEventActions(int event) {
    const std::string_view beep = ActionName(kActionBeep);
    const std::string_view prompt = ActionName(kActionPrompt);
    switch (event) {
        case kEventFirstTime:
            return Format(
                "%s Freq=%d Duration=%d\r\n%s This is a first time action prompt message.", beep,
                50, 20, prompt);
        case kEventOk:
            return Format("%s Freq=%d Duration=%d", beep, 100, 10);
        case kEventError:
            return Format("%s\r\n%s This is an error action prompt message.", beep, prompt);
        case kEventUp:
            return Format("%s Freq=%d Duration=%d\r\n%s Monitored resource is UP now.", beep, 150,
                          20, prompt);
        case kEventContentChanged:
            return Format("%s Freq=%d Duration=%d\r\n%s Monitored resource was changed.", beep, 500,
                          100, prompt);
        default:
            return {};
    }
}

}  // namespace tellweir

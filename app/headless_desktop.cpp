// The desktop port of the program without windows.
#include "app/headless_desktop.h"

#include "base/date_time.h"
#include "log/status_message.h"
#include "url/url_mask.h"

namespace tellweir {

void CHeadlessDesktop::SetEngineLog(const ItemLogPtr& log) {
    {
        std::lock_guard guard(lock_);
        engineLog_ = log;
    }
    echo_.Watch(log, "engine");
}

ItemLogPtr CHeadlessDesktop::EngineLog() {
    std::lock_guard guard(lock_);
    return engineLog_;
}

void CHeadlessDesktop::ShowPrompt(const std::string& taskName, const std::string& text) {
    if (taskName.empty() && text.empty()) return;
    ItemLogPtr log = EngineLog();
    if (!log) return;
    const std::string now = DateTime::Now().Format("%x %X");
    if (taskName.empty())
        log->WriteFormat(kLevelStatus, "Prompt action: [%s] < name not specified>.", now);
    else
        log->WriteFormat(kLevelStatus, "Prompt action: [%s] \"%s\".", now,
                         MaskUrlPasswordsInText(taskName));
    log->Write(kLevelDetail, MaskUrlPasswordsInText(text));
}

void CHeadlessDesktop::LightTrayIcon(const std::string& taskName, const std::string& text) {
    if (ItemLogPtr log = EngineLog())
        log->WriteFormat(kLevelStatus, "Light Icon action: [%s] \"%s\": %s.",
                         DateTime::Now().Format("%x %X"), MaskUrlPasswordsInText(taskName),
                         MaskUrlPasswordsInText(text));
}

}  // namespace tellweir

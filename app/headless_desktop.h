// CHeadlessDesktop: the desktop port of the program without windows. Lines written to the watched
// logs are echoed on a stream; prompts and lit icons are written into the engine log, which is
// echoed too; credential requests are refused at once; nothing opens targets for the actions.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/log_echo.h"
#include "log/item_log.h"
#include "port/desktop_port.h"

namespace tellweir {

class CHeadlessDesktop final : public IDesktopPort {
  public:
    explicit CHeadlessDesktop(std::FILE* out) : echo_(out) {}

    // The log that prompts and lit icons are written into, and the first log echoed.
    void SetEngineLog(const ItemLogPtr& log);
    // Echoes the lines of `log` with the prefix "[name] ".
    void Watch(const ItemLogPtr& log, std::string name) { echo_.Watch(log, std::move(name)); }
    // The same for many logs, flushing the stream once.
    void WatchAll(const std::vector<std::pair<ItemLogPtr, std::string>>& logs) {
        echo_.WatchAll(logs);
    }

    void ShowPrompt(const std::string& taskName, const std::string& text) override;
    void LightTrayIcon(const std::string& taskName, const std::string& text) override;
    // Nobody is there to answer a login's question: it is refused at once rather than holding
    // its worker until the time limit.
    bool CredentialsRequested() override { return false; }

  private:
    ItemLogPtr EngineLog();

    CLogEcho echo_;
    std::mutex lock_;  // a leaf: guards engineLog_ only
    ItemLogPtr engineLog_;
};

}  // namespace tellweir

// CPlainLogWindow: a plain read-only text window, used for a task's log (reloaded when the log
// changes) and for the prompts (lines appended). A top-level window of its own, so that it stays
// when the main window is hidden.
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "log/item_log.h"

namespace tellweir {

class CPlainLogWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit CPlainLogWindow(const QString& title);
    ~CPlainLogWindow() override;

    // Shows `log` (null: none) under `title`; `observer` is told of its changes while shown.
    void SetLog(const ItemLogPtr& log, const QString& title, ILogObserver* observer);
    const ItemLogPtr& Log() const { return log_; }
    // Rereads the log when it is the one with `logId`.
    void LogChanged(int logId);
    void AppendLine(const QString& line);
    QString Text() const { return view_->toPlainText(); }
    // Stops observing the log: the port goes away before this window does.
    void Detach();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Reload();

    QPlainTextEdit* view_;
    ItemLogPtr log_;
    ILogObserver* observer_ = nullptr;
    std::uint32_t shownChange_ = 0;
};

}  // namespace tellweir

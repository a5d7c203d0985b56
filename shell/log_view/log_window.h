// CLogWindow: a top-level window over one CColorEditView that shows an item log live: a task's
// log, or the engine log as the prompts window. A stay-on-top toggle and a close button sit above
// the view; Escape closes, Enter does nothing. Closing detaches the log and hides the window,
// which stays for its next use. It has no owner, so it stays when the main window is hidden.
#pragma once

#include <QWidget>

#include "log/item_log.h"

class QLabel;
class QToolButton;

namespace tellweir {

class CColorEditView;

class CLogWindow final : public QWidget {
    Q_OBJECT

  public:
    // `observer` is added to each log shown and passes its changes to LogChanged.
    explicit CLogWindow(ILogObserver* observer, const QString& title = QString());
    ~CLogWindow() override;

    // Applied when not empty.
    void SetTitle(const QString& title);
    // Shows `log` from its start in a new colouring, brings the window up and focuses the view.
    // A null log only detaches.
    void ShowLog(const ItemLogPtr& log);
    // Detaches the log and stays as it is (the port goes away before the windows).
    void Detach();
    void LogChanged(int logId);

    CColorEditView* View() const { return view_; }
    QToolButton* StayOnTopButton() const { return stayOnTop_; }
    QToolButton* CloseButton() const { return close_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void SetStayOnTop(bool on);

    QToolButton* stayOnTop_;
    QToolButton* close_;
    QLabel* label_;
    CColorEditView* view_;
};

}  // namespace tellweir

// CChangesWindow: "View Changes" for one task: its versions, the pair compared ("From", "To";
// by default what is new since the version last viewed), and their differences in a CDiffView,
// with next/previous change, copy and "Open this version". Versions are read and compared on a
// worker thread, so a large page never freezes the window; the window says "Comparing..."
// meanwhile and joins the worker when it goes.
#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <thread>

#include "core/monitor_task.h"
#include "shell/changes_view/changes_loader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace tellweir {

class CDiffView;
class CVersionListModel;

class CChangesWindow final : public QWidget {
    Q_OBJECT

  public:
    // `versionsOff`: "Misc/Versions Kept" is 0, which a window without versions says.
    CChangesWindow(MonitorTaskPtr task, bool versionsOff, QWidget* parent = nullptr);
    ~CChangesWindow() override;

    const MonitorTaskPtr& Task() const { return task_; }
    // Lists the versions again and opens on what is new since the last viewed one, which the
    // newest now becomes.
    void Reload();
    // Compares another pair.
    void ShowPair(std::int32_t from, std::int32_t to);
    // Lists the versions again when the task kept a new one since they were listed, keeping the
    // pair shown (the new version is seen: the window is open on the task). Called on the main
    // window's tick.
    void FollowTask();

    // A load or comparison is under way.
    bool Busy() const { return busy_; }
    std::int32_t From() const { return shown_.from; }
    std::int32_t To() const { return shown_.to; }
    QString InfoText() const;
    QString SummaryText() const;
    // The whole difference as `diff -u` writes it, with the versions' times in its headers.
    QString UnifiedText() const;
    // Copies the selected rows, or the whole unified diff when none is selected.
    void Copy();
    // Writes the "To" version to an owner-only temporary file (removed at exit) and opens it with
    // the desktop's application; returns its path, empty when it could not be written.
    QString OpenVersion();

    CVersionListModel* Model() const { return model_; }
    QTableView* Table() const { return table_; }
    CDiffView* View() const { return view_; }
    QComboBox* FromBox() const { return fromBox_; }
    QComboBox* ToBox() const { return toBox_; }
    QCheckBox* SideBySideBox() const { return sideBySide_; }
    QCheckBox* WholeTextBox() const { return wholeText_; }
    QPushButton* NextButton() const { return next_; }
    QPushButton* PreviousButton() const { return previous_; }

  signals:
    // A load or comparison was shown (for tests and the benchmark).
    void loaded();

  private:
    void Start(ChangesRequest request);
    void Finished(ChangesResult result);
    void FillPairBoxes();
    void PairChosen();
    void RowActivated(int row);
    void UpdateButtons();

    MonitorTaskPtr task_;
    bool versionsOff_ = false;
    std::string folder_;
    std::thread worker_;
    bool busy_ = false;
    std::optional<ChangesRequest> pending_;
    ChangesResult shown_;
    bool filling_ = false;

    QLabel* info_;
    CVersionListModel* model_;
    QTableView* table_;
    QComboBox* fromBox_;
    QComboBox* toBox_;
    QCheckBox* sideBySide_;
    QCheckBox* wholeText_;
    QPushButton* previous_;
    QPushButton* next_;
    QPushButton* copy_;
    QPushButton* open_;
    QLabel* summary_;
    CDiffView* view_;
};

// The number of lines of context around each change, as `diff -U3` shows them.
constexpr int kChangeContext = 3;

}  // namespace tellweir

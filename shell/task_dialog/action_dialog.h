// CActionDialog ("Monitor Action"): one action line of an event: the action, its parameters,
// Browse for a file, and a test run of the line.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "port/desktop_port.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace tellweir {

class CActionDialog final : public QDialog {
    Q_OBJECT

  public:
    // `desktop` receives the test's prompts, lit icons and shell opens.
    CActionDialog(const QString& line, IDesktopPort& desktop, QWidget* parent = nullptr);

    // The line composed on OK.
    const QString& Line() const { return line_; }
    // The line the fields make; nothing when the user declined a missing file.
    std::optional<QString> ComposeLine();

    QComboBox* ActionBox() const { return action_; }
    QPlainTextEdit* ParametersEdit() const { return parameters_; }
    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* TestButton() const { return test_; }
    bool Testing() const { return testing_; }

    void accept() override;

  private:
    void UpdateState();
    void Browse();
    // Runs the line on a thread of its own (a tone or a shell open takes its time) and shows
    // the result when it is done.
    void Test();

    IDesktopPort& desktop_;
    QComboBox* action_;
    QPlainTextEdit* parameters_;
    QPushButton* browse_;
    QPushButton* test_;
    QString line_;
    bool testing_ = false;
};

// Runs the action dialog on `line`; true and `out` set on OK.
bool RunActionDialog(QWidget* parent, IDesktopPort& desktop, const QString& line, QString& out);

// Offers file-system completion in a multi-line edit while its text is a path.
void AddPathCompletion(QPlainTextEdit* edit);

}  // namespace tellweir

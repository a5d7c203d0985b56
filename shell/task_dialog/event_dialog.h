// CEventDialog ("Event - Action"): an event and the list of its action lines. The list is kept
// tidy after every change: no "None" beside other actions, one row of each action that makes
// sense once, and never empty.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "port/desktop_port.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace tellweir {

class CEventDialog final : public QDialog {
    Q_OBJECT

  public:
    // `events` are the display names offered; `selected` is chosen when offered, else the first.
    CEventDialog(const QStringList& events, const QString& selected, const QStringList& lines,
                 IDesktopPort& desktop, QWidget* parent = nullptr);

    QString Event() const;
    // The rows joined by CR LF.
    QString ActionText() const;
    QStringList Lines() const;

    // Appends a line (as "A&dd action" does with the action dialog's result), tidies the list and
    // selects the new row when it stayed.
    void AddLine(const QString& line);
    // Replaces the line of `row` (as "&Edit action" does).
    void ReplaceLine(int row, const QString& line);

    QComboBox* EventBox() const { return event_; }
    QListWidget* ActionList() const { return list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* EditButton() const { return edit_; }
    QPushButton* RemoveButton() const { return remove_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void Tidy(int selectRow);
    void UpdateState();
    void AddAction();
    void EditAction();
    void RemoveActions();

    IDesktopPort& desktop_;
    QComboBox* event_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* edit_;
    QPushButton* remove_;
    QPushButton* ok_ = nullptr;
};

// Runs the event dialog; true with the chosen event's display name and action text on OK.
bool RunEventDialog(QWidget* parent, IDesktopPort& desktop, const QStringList& events,
                    const QString& selected, const QString& actions, QString& outEvent,
                    QString& outActions);

}  // namespace tellweir

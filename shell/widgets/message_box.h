// The program's message dialog: the text, a warning icon and "Yes"/"No" for a question, or
// "OK"/"Cancel", or "OK" alone.
#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace tellweir {

// True when the user answered "Yes".
bool AskYesNo(QWidget* parent, const QString& text);
// True for "OK".
bool AskOkCancel(QWidget* parent, const QString& text);
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Warning);

// The caption of every message dialog.
QString MessageCaption();

}  // namespace tellweir

// Message dialogs with the program's buttons and caption.
#include "shell/widgets/message_box.h"

#include <QCoreApplication>
#include <QPushButton>

namespace tellweir {

namespace {

// Runs a warning dialog with the two buttons; true when the first was chosen.
bool Ask(QWidget* parent, const QString& text, const QString& first, const QString& second) {
    QMessageBox box(QMessageBox::Warning, MessageCaption(), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(first, QMessageBox::YesRole);
    QPushButton* no = box.addButton(second, QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

}  // namespace

QString MessageCaption() {
    return QStringLiteral("Tellweir");
}

bool AskYesNo(QWidget* parent, const QString& text) {
    return Ask(parent, text, QCoreApplication::translate("MessageBox", "&Yes"),
               QCoreApplication::translate("MessageBox", "&No"));
}

bool AskOkCancel(QWidget* parent, const QString& text) {
    return Ask(parent, text, QCoreApplication::translate("MessageBox", "OK"),
               QCoreApplication::translate("MessageBox", "Cancel"));
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, MessageCaption(), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace tellweir

// Opening a file or an address with the desktop's application (xdg-open), without waiting for
// it: when nothing opens the target, a message over the asking window names it and says why.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace tellweir {

// Why xdg-open could not open its target: `started` false when it did not start at all, else
// its exit status (-1: it crashed).
QString OpenFailureReason(bool started, int exitStatus);

// The messages of a help file and of a link that could not be opened, naming them.
std::function<QString(const QString& reason)> HelpOpenFailure(const std::string& path);
std::function<QString(const QString& reason)> LinkOpenFailure(const QString& link);

// Hands `target` (a path or a URL) to xdg-open and returns at once. When it fails, `message`
// turns the reason into the text shown over `owner` (or the active window once the owner is
// gone); when it succeeds, `opened` is called. Both on the GUI thread.
void OpenOnDesktop(QWidget* owner, const QString& target,
                   std::function<QString(const QString& reason)> message,
                   std::function<void()> opened = {});

}  // namespace tellweir

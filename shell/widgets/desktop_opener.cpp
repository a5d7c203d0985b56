// Hands targets to xdg-open and reports the ones nothing opened. QDesktopServices says only
// whether xdg-open started, not whether it found an application, so the exit status is read here.
#include "shell/widgets/desktop_opener.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <utility>

#include "shell/widgets/message_box.h"

namespace tellweir {

QString OpenFailureReason(bool started, int exitStatus) {
    if (!started)
        return QApplication::translate("DesktopOpener",
                                       "The desktop's opener, xdg-open, could not be started.");
    switch (exitStatus) {
        case 2:
            return QApplication::translate("DesktopOpener", "The file does not exist.");
        case 3:
            return QApplication::translate("DesktopOpener", "No application is set up to open it.");
        case -1:
            return QApplication::translate("DesktopOpener",
                                           "The desktop's opener, xdg-open, crashed.");
        default:
            return QApplication::translate(
                       "DesktopOpener",
                       "The application that should open it failed (xdg-open exit status %1).")
                .arg(exitStatus);
    }
}

std::function<QString(const QString& reason)> HelpOpenFailure(const std::string& path) {
    return [file = QString::fromStdString(path)](const QString& reason) {
        return QApplication::translate("DesktopOpener", "Cannot open the help file \"%1\".\n\n%2")
            .arg(file, reason);
    };
}

std::function<QString(const QString& reason)> LinkOpenFailure(const QString& link) {
    return [link](const QString& reason) {
        return QApplication::translate("DesktopOpener", "Unable to open hyperlink:\n\n%1\n\n%2")
            .arg(link, reason);
    };
}

void OpenOnDesktop(QWidget* owner, const QString& target,
                   std::function<QString(const QString& reason)> message,
                   std::function<void()> opened) {
    const QUrl url = QUrl::fromUserInput(target, QString(), QUrl::AssumeLocalFile);
    // The process belongs to the application, so it finishes its work when the asking dialog
    // closes meanwhile; a browser it starts lives on after it.
    auto* process = new QProcess(qApp);
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({url.isValid() ? url.toString(QUrl::FullyEncoded) : target});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    QPointer<QWidget> asker(owner);
    auto report = [asker, message = std::move(message)](const QString& reason) {
        QWidget* parent = asker ? asker.data() : QApplication::activeWindow();
        ShowMessage(parent, message(reason));
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, report](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) return;
                         process->deleteLater();
                         report(OpenFailureReason(false, 0));
                     });
    QObject::connect(
        process, &QProcess::finished, process,
        [process, report, opened = std::move(opened)](int exitCode, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status == QProcess::NormalExit && exitCode == 0) {
                if (opened) opened();
                return;
            }
            report(OpenFailureReason(true, status == QProcess::NormalExit ? exitCode : -1));
        });
    process->start();
}

}  // namespace tellweir

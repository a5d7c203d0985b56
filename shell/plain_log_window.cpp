// The plain log and prompts window.
#include "shell/plain_log_window.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tellweir {

CPlainLogWindow::CPlainLogWindow(const QString& title) : view_(new QPlainTextEdit(this)) {
    setWindowTitle(title);
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setTabStopDistance(6 * view_->fontMetrics().horizontalAdvance(QLatin1Char(' ')));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    resize(640, 400);
}

CPlainLogWindow::~CPlainLogWindow() {
    Detach();
}

void CPlainLogWindow::Detach() {
    if (log_ && observer_) log_->RemoveObserver(observer_);
    observer_ = nullptr;
}

void CPlainLogWindow::SetLog(const ItemLogPtr& log, const QString& title, ILogObserver* observer) {
    Detach();
    log_ = log;
    observer_ = observer;
    setWindowTitle(title);
    if (log_ && observer_) log_->AddObserver(observer_);
    Reload();
}

void CPlainLogWindow::LogChanged(int logId) {
    if (log_ && log_->GetId() == logId && log_->GetChangeCount() != shownChange_) Reload();
}

void CPlainLogWindow::Reload() {
    if (!log_) {
        view_->clear();
        return;
    }
    shownChange_ = log_->GetChangeCount();
    QScrollBar* bar = view_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    view_->setPlainText(QString::fromStdString(log_->GetText()));
    if (atEnd) bar->setValue(bar->maximum());
}

void CPlainLogWindow::AppendLine(const QString& line) {
    view_->appendPlainText(line);
}

void CPlainLogWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace tellweir

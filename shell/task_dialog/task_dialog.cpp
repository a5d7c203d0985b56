// The task dialog: pages, navigation and the wizard picture.
#include "shell/task_dialog/task_dialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <climits>

#include "core/task_properties.h"
#include "shell/task_dialog/download_page.h"
#include "shell/task_dialog/events_page.h"
#include "shell/task_dialog/schedule_page.h"
#include "shell/task_dialog/url_page.h"
#include "shell/task_dialog/wizard_pages.h"
#include "shell/widgets/shell_icons.h"
#include "store/url_history.h"

namespace tellweir {

namespace {

// The wizard's picture: the program's icon on a band in the desktop's highlight colour.
class CWizardPicture final : public QWidget {
  public:
    explicit CWizardPicture(QWidget* parent) : QWidget(parent) { setFixedWidth(130); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QColor top = palette().color(QPalette::Highlight);
        QLinearGradient band(0, 0, 0, height());
        band.setColorAt(0, top);
        band.setColorAt(1, top.darker(170));
        painter.fillRect(rect(), band);
        const int side = 80;
        AppIcon().paint(&painter, QRect((width() - side) / 2, 24, side, side));
    }
};

// Puts the focus on the page's first control that takes it from the Tab key.
void FocusFirst(QWidget* page) {
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w)) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) && w->isEnabled()) {
            w->setFocus();
            return;
        }
    }
}

}  // namespace

CTaskDialog::CTaskDialog(MonitorTaskPtr task, const QString& filter, IDesktopPort& desktop,
                         QWidget* parent)
    : QDialog(parent),
      task_(task ? std::move(task) : CMonitorTask::Create()),
      filter_(filter),
      startNow_(filter.isEmpty()),
      builtKind_(INT_MIN),
      stack_(new QStackedWidget(this)) {
    setModal(true);
    CMonitorTask* edited = task_.get();
    const auto wanted = [&](const char* name) {
        return filter_.isEmpty() || filter_ == QLatin1String(name);
    };
    if (wanted("intro") && IsWizard()) pages_.push_back(new CIntroPage(this));
    if (wanted("url")) pages_.push_back(new CUrlPage(edited, this));
    if (wanted("download")) pages_.push_back(new CDownloadPage(edited, this));
    if (wanted("events"))
        pages_.push_back(new CEventsPage(edited, IsWizard(), builtKind_, desktop, this));
    if (wanted("name")) pages_.push_back(new CNamePage(edited, this));
    if (wanted("schedule")) pages_.push_back(new CSchedulePage(edited, startNow_, this));
    if (pages_.empty()) pages_.push_back(new CIntroPage(this));
    for (CBoundPage* page : pages_) {
        stack_->addWidget(page);
        page->setEnabled(false);
        connect(page, &CBoundPage::changed, this, [this] { UpdateButtons(); });
    }

    const QString name = QString::fromStdString(task_->GetName());
    if (IsWizard())
        setWindowTitle(tr("New Monitor Task"));
    else if (filter_ == QLatin1String("events"))
        setWindowTitle(tr("Events & Actions: %1").arg(name));
    else
        setWindowTitle(tr("Schedule: %1").arg(name));

    // The wizard's row keeps its own order (Back beside Next); a single page takes the platform's
    // order of OK and Cancel.
    QWidget* buttons = nullptr;
    if (IsWizard()) {
        back_ = new QPushButton(tr("< &Back"), this);
        next_ = new QPushButton(NextText(), this);
        cancel_ = new QPushButton(tr("Cancel"), this);
        back_->setAutoDefault(false);
        cancel_->setAutoDefault(false);
        connect(back_, &QPushButton::clicked, this, [this] { Back(); });
        connect(next_, &QPushButton::clicked, this, [this] { Next(); });
        connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
        buttons = new QWidget(this);
        auto* row = new QHBoxLayout(buttons);
        row->setContentsMargins(0, 0, 0, 0);
        row->addStretch(1);
        row->addWidget(back_);
        row->addWidget(next_);
        row->addSpacing(8);
        row->addWidget(cancel_);
    } else {
        auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        next_ = box->button(QDialogButtonBox::Ok);
        cancel_ = box->button(QDialogButtonBox::Cancel);
        next_->setText(tr("OK"));
        cancel_->setText(tr("Cancel"));
        cancel_->setAutoDefault(false);
        connect(box, &QDialogButtonBox::accepted, this, [this] { Next(); });
        connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
        buttons = box;
    }
    next_->setDefault(true);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* body = new QHBoxLayout;
    body->setSpacing(16);
    if (IsWizard()) body->addWidget(new CWizardPicture(this));
    auto* pageBox = new QVBoxLayout;
    pageBox->setContentsMargins(IsWizard() ? 0 : 11, 11, 11, 0);
    pageBox->addWidget(stack_, 1);
    body->addLayout(pageBox, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 11);
    layout->addLayout(body, 1);
    layout->addWidget(line);
    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(11, 0, 11, 0);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    stack_->setMinimumSize(420, 300);

    GoTo(0);
}

CBoundPage* CTaskDialog::Page(const QString& name) const {
    for (CBoundPage* page : pages_)
        if (page->PageName() == name) return page;
    return nullptr;
}

int CTaskDialog::Neighbour(int index, int step) const {
    int next = index + step;
    const bool null = task_->GetUri().starts_with("<null");
    if (null && next >= 0 && next < static_cast<int>(pages_.size()) &&
        pages_[next]->PageName() == QLatin1String("download"))
        next += step;
    return next;
}

void CTaskDialog::GoTo(int index) {
    CBoundPage* old = pages_[current_];
    old->setEnabled(false);
    current_ = index;
    CBoundPage* page = pages_[current_];
    page->setEnabled(true);
    stack_->setCurrentWidget(page);
    page->Enter();
    FocusFirst(page);
    UpdateButtons();
}

bool CTaskDialog::Finishing() const {
    if (!IsWizard()) return true;
    if (current_ + 1 >= static_cast<int>(pages_.size())) return true;
    return pages_[current_]->PageName() == QLatin1String("name") &&
           task_->Int(task::kSchedule) == task::kScheduleManual;
}

void CTaskDialog::UpdateButtons() {
    next_->setEnabled(pages_[current_]->CanAdvance());
    if (!IsWizard()) return;
    next_->setText(Finishing() ? tr("Finish") : NextText());
    back_->setEnabled(current_ > 0);
}

void CTaskDialog::Next() {
    if (!next_->isEnabled()) return;
    if (Finishing()) return Finish();
    if (!pages_[current_]->Leave()) return;
    GoTo(Neighbour(current_, 1));
}

void CTaskDialog::Back() {
    if (current_ == 0 || !pages_[current_]->Leave()) return;
    GoTo(Neighbour(current_, -1));
}

void CTaskDialog::Finish() {
    if (!pages_[current_]->Leave()) return;
    if (IsWizard() && startNow_) task_->SetTime(task::kNextStartTime, DateTime::Now());
    accept();
}

bool RunTaskDialog(QWidget* parent, IDesktopPort& desktop, const QString& filter,
                   MonitorTaskPtr& task, bool* startNow) {
    CTaskDialog dialog(task, filter, desktop, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (startNow) *startNow = dialog.StartNowAsked();
    if (!task) {
        task = dialog.Task();
        // The address comes first the next time the URL edit offers the history.
        const std::string uri = task->GetUri();
        const std::vector<std::string> known = CUrlHistory::Instance().Items();
        if (std::find(known.begin(), known.end(), uri) == known.end())
            CUrlHistory::Instance().Insert(0, uri);
    }
    return true;
}

}  // namespace tellweir

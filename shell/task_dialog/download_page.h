// The wizard's "download" page: file information only, or the whole content, with a text that
// says what the choice means for the task's URI.
#pragma once

#include <QString>

#include "shell/widgets/bound_page.h"

class QLabel;
class QRadioButton;

namespace tellweir {

// The text for `uri` with "Download" `download` ("\r\n" line ends).
QString DownloadInfoText(const QString& uri, int download);

class CDownloadPage final : public CBoundPage {
    Q_OBJECT

  public:
    CDownloadPage(CPropertySet* task, QWidget* parent = nullptr);

    QLabel* InfoLabel() const { return info_; }

  protected:
    void Refresh() override;

  private:
    QRadioButton* infoOnly_;
    QRadioButton* content_;
    QLabel* info_;
};

}  // namespace tellweir

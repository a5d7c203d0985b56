// The wizard's "url" page: the URL or local path of the task, with Browse, Compose URL, an
// information text about what was typed, and completion from the URL history and the file
// system.
#pragma once

#include <QString>

#include "shell/widgets/bound_page.h"

class QCompleter;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tellweir {

// The information text shown for `uri` ("\r\n" line ends); `error` tells whether it reports a
// problem (an empty or invalid URL), which keeps Next disabled.
QString UrlInfoText(const QString& uri, bool& error);

// Where a file chooser opened on `uri` starts, and the file name it proposes.
struct BrowseStart {
    QString folder;
    QString name;
};
// `uri` naming an existing folder starts there, an existing file in its folder, anything else
// in `lastFolder`; the name is the part after the last separator unless it holds a wildcard or
// angle bracket, none without a separator.
BrowseStart BrowseStartFor(const QString& uri, const QString& lastFolder);

// A modal open-file chooser owned by `parent` that starts at `start`; true and `path` set on
// OK, when "Misc/Last Opened Folder" becomes the folder it started in.
bool BrowseForFile(QWidget* parent, const BrowseStart& start, QString& path);

// Makes `edit` complete from the URL history, or from the file system while it holds a path.
void AddUrlCompletion(QLineEdit* edit);

class CUrlPage final : public CBoundPage {
    Q_OBJECT

  public:
    CUrlPage(CPropertySet* task, QWidget* parent = nullptr);

    bool CanAdvance() const override { return !error_; }

    QLineEdit* UrlEdit() const { return url_; }
    QLabel* InfoLabel() const { return info_; }
    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* ComposeButton() const { return compose_; }

  protected:
    void Refresh() override;

  private:
    void Browse();
    void Compose();

    QLineEdit* url_;
    QPushButton* browse_;
    QPushButton* compose_;
    QLabel* info_;
    bool error_ = true;
};

}  // namespace tellweir

// The title band above a settings page: the page title in a large bold font on a gradient
// derived from the button colour of the palette.
#pragma once

#include <QString>
#include <QWidget>

namespace tellweir {

class CSettingsHeader final : public QWidget {
    Q_OBJECT

  public:
    explicit CSettingsHeader(QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    const QString& Title() const { return title_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QFont TitleFont() const;

    QString title_;
};

}  // namespace tellweir

// CHyperlinkLabel: a link in a dialog: blue, purple once visited, red under the pointer, a hand
// cursor; a click opens the link with the desktop, and a failure is said in a warning.
#pragma once

#include <QLabel>
#include <QString>

namespace tellweir {

class CHyperlinkLabel final : public QLabel {
    Q_OBJECT

  public:
    CHyperlinkLabel(const QString& text, QString link, QWidget* parent = nullptr);

    bool Visited() const { return visited_; }
    bool Hovered() const { return hovered_; }
    // Opens the link as a click does, without waiting: visited once it opened, a message when
    // nothing could open it.
    void Open();

    static const QColor kNormal;
    static const QColor kVisited;
    static const QColor kHover;

  protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Recolour();

    QString link_;
    bool visited_ = false;
    bool hovered_ = false;
};

}  // namespace tellweir

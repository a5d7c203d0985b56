// CVersionListModel: the versions of a task as a table: number, time, event, size and the lines
// added and removed against the version before.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "history/version_store.h"

namespace tellweir {

class CVersionListModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { kNumber = 0, kTime, kEvent, kSize, kAdded, kRemoved, kColumns };

    explicit CVersionListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The versions, oldest first (as the store lists them).
    void SetVersions(std::vector<VersionRecord> versions);
    const std::vector<VersionRecord>& Versions() const { return versions_; }
    // The row of version `number`; -1 when it is not listed.
    int RowOf(std::int32_t number) const;

  private:
    std::vector<VersionRecord> versions_;
};

// "1,234 bytes", "12.5 KiB", "3.2 MiB".
QString SizeText(std::int64_t bytes);

}  // namespace tellweir

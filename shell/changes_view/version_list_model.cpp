// The version list.
#include "shell/changes_view/version_list_model.h"

#include <QLocale>

namespace tellweir {

CVersionListModel::CVersionListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CVersionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(versions_.size());
}

int CVersionListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString SizeText(std::int64_t bytes) {
    if (bytes < 1024) return CVersionListModel::tr("%1 bytes").arg(bytes);
    const double kib = static_cast<double>(bytes) / 1024.0;
    if (kib < 1024.0) return CVersionListModel::tr("%1 KiB").arg(kib, 0, 'f', 1);
    return CVersionListModel::tr("%1 MiB").arg(kib / 1024.0, 0, 'f', 1);
}

QVariant CVersionListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const VersionRecord& record = versions_[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        const bool right =
            column == kNumber || column == kSize || column == kAdded || column == kRemoved;
        return QVariant::fromValue(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role == Qt::UserRole) return record.number;
    if (role != Qt::DisplayRole) return {};
    switch (column) {
        case kNumber:
            return record.number;
        case kTime:
            return QString::fromStdString(record.time.Format("%Y-%m-%d %H:%M:%S"));
        case kEvent:
            return QString::fromStdString(record.event);
        case kSize:
            return SizeText(record.size);
        case kAdded:
            return record.added < 0 ? QString() : QStringLiteral("+%1").arg(record.added);
        case kRemoved:
            return record.removed < 0 ? QString() : QStringLiteral("-%1").arg(record.removed);
        default:
            return {};
    }
}

QVariant CVersionListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case kNumber:
            return tr("Version");
        case kTime:
            return tr("Time");
        case kEvent:
            return tr("Event");
        case kSize:
            return tr("Size");
        case kAdded:
            return tr("Added");
        case kRemoved:
            return tr("Removed");
        default:
            return {};
    }
}

void CVersionListModel::SetVersions(std::vector<VersionRecord> versions) {
    beginResetModel();
    versions_ = std::move(versions);
    endResetModel();
}

int CVersionListModel::RowOf(std::int32_t number) const {
    for (std::size_t i = 0; i < versions_.size(); ++i)
        if (versions_[i].number == number) return static_cast<int>(i);
    return -1;
}

}  // namespace tellweir

#include "ui/models/info_log_model.h"

#include <QBrush>
#include <QColor>
#include <QIcon>

#include "services/global.h"

InfoLogModel::InfoLogModel(QObject* parent) : QAbstractTableModel(parent) { Retranslate(); }

InfoLogModel::~InfoLogModel() = default;

int InfoLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int InfoLogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant InfoLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const name_share::LogRow& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == kTime) return QString::fromStdString(row.time);
            // One line per row: the lines of a message are shown side by side.
            if (index.column() == kText) {
                return QString::fromStdString(row.text)
                    .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                    .join(QLatin1Char(' '));
            }
            return {};
        case Qt::ToolTipRole:
            if (index.column() == kTime) return QString::fromStdString(row.time);
            if (index.column() == kText) return QString::fromStdString(row.text);
            return {};
        case Qt::DecorationRole: return index.column() == kImage ? LevelIcon(row.image) : QVariant();
        case kImageIndexRole: return index.column() == kImage ? QVariant(row.image) : QVariant();
        case Qt::ForegroundRole:
            if (row.textColour) return QBrush(QColor(row.textColour->r, row.textColour->g, row.textColour->b));
            return {};
        case Qt::AccessibleTextRole:
            if (index.column() == kImage) {
                return QString::fromStdString(GetGlobal().LoadText(row.image == 0   ? 10005
                                                                   : row.image == 1 ? 10006
                                                                                    : 10004));
            }
            return data(index, Qt::ToolTipRole);
        default: return {};
    }
}

QVariant InfoLogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == kTime) return timeTitle_;
    if (section == kText) return textTitle_;
    return QString();
}

void InfoLogModel::Append(const name_share::LogRow& row) {
    const int position = static_cast<int>(rows_.size());
    beginInsertRows({}, position, position);
    rows_.push_back(row);
    endInsertRows();
}

void InfoLogModel::Clear() {
    if (rows_.empty()) return;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void InfoLogModel::Retranslate() {
    timeTitle_ = QString::fromStdString(GetGlobal().LoadText(10003));
    textTitle_ = QString::fromStdString(GetGlobal().LoadText(10004));
    emit headerDataChanged(Qt::Horizontal, kTime, kText);
}

QIcon InfoLogModel::LevelIcon(int image) {
    if (image == 0) return QIcon(QStringLiteral(":/icons/log_error.svg"));
    if (image == 1) return QIcon(QStringLiteral(":/icons/log_warning.svg"));
    return QIcon(QStringLiteral(":/icons/log_info.svg"));
}

// InfoLogModel: the rows of the information log as a three-column table (level image, time,
// text), with the text colour of each row's level. Rows are only appended or removed all at once.
#pragma once

#include <QAbstractTableModel>

#include <span>
#include <vector>

#include "services/host.h"

class InfoLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kImage = 0, kTime = 1, kText = 2, kColumnCount = 3 };
    // Data role of column 0: the image index (0 error, 1 warning, 2 log).
    static constexpr int kImageIndexRole = Qt::UserRole + 1;

    explicit InfoLogModel(QObject* parent = nullptr);
    ~InfoLogModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void Append(const name_share::LogRow& row);
    void Clear();
    std::span<const name_share::LogRow> Rows() const { return rows_; }
    // Reloads the column titles (strings 10003, 10004) after a language change.
    void Retranslate();

    // The level icon of an image index (drawn for the program).
    static QIcon LevelIcon(int image);

private:
    std::vector<name_share::LogRow> rows_;
    QString timeTitle_;
    QString textTitle_;
};

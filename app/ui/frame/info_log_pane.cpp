#include "ui/frame/info_log_pane.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QVBoxLayout>

#include "monitor/log_file.h"
#include "services/global.h"
#include "ui/frame/dlg_info_setting.h"
#include "ui/models/info_log_model.h"
#include "ui/widgets/ui_text.h"

CInfoLogPane::CInfoLogPane(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    model_ = new InfoLogModel(this);
    list_ = new QTreeView(this);
    list_->setObjectName(QString::number(kControlId));
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(16, 16));
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionsMovable(false);
    list_->header()->setMinimumSectionSize(16);
    list_->setColumnWidth(InfoLogModel::kImage, 20);
    list_->setColumnWidth(InfoLogModel::kTime, 80);
    list_->setColumnWidth(InfoLogModel::kText, 700);
    layout->addWidget(list_);
    connect(list_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { emit contextMenuRequested(list_->viewport()->mapToGlobal(pos)); });
}

CInfoLogPane::~CInfoLogPane() = default;

void CInfoLogPane::AppendRow(const name_share::LogRow& row) {
    model_->Append(row);
    list_->scrollTo(model_->index(model_->rowCount() - 1, InfoLogModel::kText));
}

void CInfoLogPane::Clear() { model_->Clear(); }

int CInfoLogPane::RowCount() const { return model_->rowCount(); }

bool CInfoLogPane::SaveTo(const QString& path) const { return SaveLogRows(model_->Rows(), path.toStdString()); }

void CInfoLogPane::SaveWithDialog() {
    QFileDialog dialog(this, LoadText(61604));  // "保存信息"
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(FileFilter(61605, "*.txt"));  // "Text(*.txt)"
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    SaveReporting(dialog.selectedFiles().first());
}

bool CInfoLogPane::SaveReporting(const QString& path) {
    if (SaveTo(path)) return true;
    // The rows stay in the list; the user may choose another place.
    GetGlobal().ShowMessageBox(name_share::kLevelWarning, "%s\n%s",
                               LoadText(resource_ids::kTextCannotWriteFile).toStdString().c_str(),
                               path.toStdString().c_str());
    return false;
}

void CInfoLogPane::ShowSettings() {
    CDlgInfoSetting dialog(GetGlobal().Infobar(), this);
    dialog.exec();
}

void CInfoLogPane::RetranslateUi() { model_->Retranslate(); }

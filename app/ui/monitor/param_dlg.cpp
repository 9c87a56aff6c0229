#include "ui/monitor/param_dlg.h"

#include <QAbstractButton>
#include <QBrush>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>

#include "ui/monitor/bit_check_dlg.h"
#include "monitor/param_session.h"
#include "monitor/param_value_rules.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "resources/ui_texts.h"
#include "services/global.h"
#include "services/status_texts.h"
#include "services/timer_periods.h"
#include "ui/widgets/ui_text.h"

namespace {

constexpr uint32_t kTemplate = resource_ids::kParameterDialog;
// Texts of the compare.
constexpr uint32_t kTextDiffers = 61920;  // "%1 (network file: %2)"
constexpr uint32_t kTextSame = 61921;
constexpr uint32_t kTextUploadFirst = 61922;
constexpr uint32_t kTextDifferCount = 61923;  // "%1 parameter(s) differ ..."
const QColor kDiffersColour(255, 224, 160);

int ShowBox(const std::string& caption, const std::string& text, uint32_t type) {
    name_share::IHost* host = GetGlobal().Host();
    if (host == nullptr) return 0;
    return host->ShowMessageBox({nullptr, caption, text, type});
}

uint32_t ToBits(double value) {
    if (!(value > 0)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFU;
    return static_cast<uint32_t>(value);
}

}  // namespace

// The in-place editors of column 3: a number line, or a drop-down list of the choices.
class ParamValueDelegate : public QStyledItemDelegate {
public:
    explicit ParamValueDelegate(CParamDlg& dlg) : QStyledItemDelegate(&dlg), dlg_(dlg) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        const auto& entry = Entry(index);
        switch (monitor::ItemKindOf(entry)) {
            case monitor::ParamItemKind::Number: return new QLineEdit(parent);
            case monitor::ParamItemKind::Enum: {
                auto* combo = new QComboBox(parent);
                for (const auto& [text, value] : monitor::ChoicesOf(entry, dlg_.EnumTexts(entry.number())))
                    combo->addItem(QString::fromStdString(text), value);
                return combo;
            }
            case monitor::ParamItemKind::EnumBit: return nullptr;  // the bit-check pop-up edits these
        }
        return nullptr;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        const auto& entry = Entry(index);
        const double raw = index.data(CParamDlg::kRawRole).toDouble();
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            // No units while editing.
            line->setText(QString::fromStdString(monitor::NumberCaption(entry, monitor::RawToShown(entry, raw), true)));
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            combo->setCurrentIndex(combo->findData(static_cast<int>(raw)));
        }
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        const int32_t number = Number(index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const QString text = line->text();
            // The message box comes after the editor has closed.
            QMetaObject::invokeMethod(
                &dlg_, [dlg = &dlg_, number, text] { dlg->EditRow(number, text); }, Qt::QueuedConnection);
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            if (combo->currentIndex() >= 0) dlg_.SetRowValue(number, combo->currentData().toInt());
        }
    }

private:
    int32_t Number(const QModelIndex& index) const {
        return dlg_.model_.index(index.row(), 0).data(CParamDlg::kNumberRole).toInt();
    }
    struct NumberedEntry {
        const DeviceNetEDS::ParamEntry& e;
        int32_t n;
        int32_t number() const { return n; }
        operator const DeviceNetEDS::ParamEntry&() const { return e; }
    };
    NumberedEntry Entry(const QModelIndex& index) const {
        const int32_t n = Number(index);
        return {dlg_.EdsEntry(n), n};
    }

    CParamDlg& dlg_;
};

CParamDlg::CParamDlg(CSlaveDev& slave, QWidget* parent)
    : TemplateDialog(kTemplate, parent), slave_(&slave), description_(slave.Eds().description) {
    Init();
}

CParamDlg::CParamDlg(const CEDSFile& description, QWidget* parent)
    : TemplateDialog(kTemplate, parent), description_(description) {
    Init();
}

CParamDlg::~CParamDlg() { Finish(); }

void CParamDlg::Init() {
    working_ = description_.Params();
    // 1. Groups.
    std::vector<std::string> groups{LoadText(61498).toStdString()};
    for (const auto& [number, group] : description_.Groups().Groups()) {
        groups.push_back(group.name);
        groupNumbers_.push_back(number);
    }
    SetItems(kGroupList, groups);
    SetCurrentIndex(kGroupList, 0);
    if (auto* combo = ControlAs<QComboBox>(kGroupList))
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), this, &CParamDlg::SelectGroup);
    // 2. Columns and rows.
    model_.setColumnCount(4);
    model_.setHorizontalHeaderLabels({LoadText(61499), LoadText(61500), LoadText(61501), LoadText(61502)});
    BuildRows(working_);
    if (QTableView* view = Table()) {
        view->setModel(&model_);
        view->setItemDelegateForColumn(3, new ParamValueDelegate(*this));
        // Widths 8, 10, 50 and 50 characters wide, of a narrow table font.
        const int widths[] = {8, 10, 50, 50};
        for (int c = 0; c < 3; ++c) view->setColumnWidth(c, DialogUnitsToPixelsX(std::max(widths[c] * 2, 24)));
        view->horizontalHeader()->setStretchLastSection(true);
        connect(view, &QTableView::clicked, this, [this](const QModelIndex& index) {
            const int32_t number = model_.index(index.row(), 0).data(kNumberRole).toInt();
            ShowRowTexts(number);
            if (index.column() == 3 && monitor::ItemKindOf(EdsEntry(number)) == monitor::ParamItemKind::EnumBit &&
                (model_.item(index.row(), 3)->flags() & Qt::ItemIsEditable))
                EditBits(number);
        });
        connect(view, &QTableView::customContextMenuRequested, this, &CParamDlg::ShowContextMenu);
        view->horizontalHeader()->setSectionsClickable(true);
        connect(view->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
            if (column != 0 && column != 2) return;
            QHeaderView* header = Table()->horizontalHeader();
            const bool again = header->isSortIndicatorShown() && header->sortIndicatorSection() == column;
            const Qt::SortOrder order =
                again && header->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
            SortRows(column, order);
        });
    }
    auto button = [this](int id, void (CParamDlg::*slot)()) {
        if (auto* b = qobject_cast<QAbstractButton*>(Control(id))) connect(b, &QAbstractButton::clicked, this, slot);
    };
    button(kUpload, &CParamDlg::StartUpload);
    button(kDownload, &CParamDlg::StartDownload);
    button(kDefaults, &CParamDlg::DefaultSettings);
    button(kReset, &CParamDlg::ResetRows);
    if (auto* b = qobject_cast<QAbstractButton*>(Control(kCompare)))
        connect(b, &QAbstractButton::clicked, this, [this] { CompareWithFile(); });
    SetEnabled(kCompare, false);  // until an upload has finished
    // 3. The master leaves the running network and is held for the editor; the transfers'
    //    results come back on this thread.
    if (slave_ != nullptr) {
        monitor::ParamSession::Callbacks callbacks;
        callbacks.uploadFinished = poster_.Relay<DeviceNetEDS::CParamsInfo>(
            [this](DeviceNetEDS::CParamsInfo result) { OnUploaded(std::move(result)); });
        callbacks.downloadFinished = poster_.Relay<>([this] { OnDownloaded(); });
        session_ = std::make_unique<monitor::ParamSession>(*slave_, std::move(callbacks));
        // Without the master nothing can be transferred: say so once the editor is up.
        if (session_->AttachResult() != 0) poster_.Post([this] { ReportAttachFailure(); });
    }
    // 4. The transfer buttons wait three ticks.
    for (int id : {kUpload, kDownload, kReset}) SetEnabled(id, false);
    connect(&openTimer_, &QTimer::timeout, this, &CParamDlg::OnTick);
    openTimer_.start(timer_periods::kParamEditorTickMs);
}

void CParamDlg::OnTick() {
    if (++ticks_ < 3) return;
    openTimer_.stop();
    if (slave_ == nullptr) return;
    SetEnabled(kReset, true);
    if (!CanTransfer()) return;
    SetEnabled(kUpload, !uploadPending_);
    SetEnabled(kDownload, !downloadPending_);
}

bool CParamDlg::CanTransfer() const { return session_ != nullptr && session_->CanTransfer(); }

uint32_t CParamDlg::AttachResult() const { return session_ != nullptr ? session_->AttachResult() : 0; }

void CParamDlg::ReportAttachFailure() {
    const uint32_t code = AttachResult();
    const std::string text =
        resources::FormatText(resource_ids::kTextApiErrorTemplate,
                              resources::Text(resource_ids::kTextAttachFailed).c_str(), static_cast<int>(code),
                              GetGlobal().StatusDisplayText(static_cast<int32_t>(code)).c_str());
    ShowBox(GetGlobal().LoadText(name_share::IDS_CAPTION_WARNING), text, name_share::kMbIconExclamation);
}

QTableView* CParamDlg::Table() const { return ControlAs<QTableView>(kTable); }

const DeviceNetEDS::ParamEntry& CParamDlg::EdsEntry(int32_t number) const {
    return description_.Params().GetParam(number);
}

const std::vector<std::string>& CParamDlg::EnumTexts(int32_t number) const {
    return description_.EnumPar().GetList(number);
}

void CParamDlg::BuildRows(const DeviceNetEDS::CParamsInfo& set) {
    model_.removeRows(0, model_.rowCount());
    // Rebuilt rows come in number order again.
    if (QTableView* view = Table()) view->horizontalHeader()->setSortIndicatorShown(false);
    for (const auto& [number, entry] : set.Params()) {
        QList<QStandardItem*> items;
        auto* n = new QStandardItem();
        n->setData(number, Qt::DisplayRole);  // sorts as a number
        n->setData(number, kNumberRole);
        items << n << new QStandardItem(QString::fromStdString(monitor::AccessText(entry)))
              << new QStandardItem(QString::fromStdString(entry.name)) << new QStandardItem();
        for (QStandardItem* item : items) item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        items[3]->setData(entry.defaultValue, kRawRole);
        if (!monitor::IsReadOnly(entry)) items[3]->setFlags(items[3]->flags() | Qt::ItemIsEditable);
        model_.appendRow(items);
        RefreshCaption(model_.rowCount() - 1);
    }
}

void CParamDlg::RefreshCaption(int row) {
    QStandardItem* item = model_.item(row, 3);
    const int32_t number = model_.item(row, 0)->data(kNumberRole).toInt();
    const auto& entry = EdsEntry(number);
    const double raw = item->data(kRawRole).toDouble();
    std::string text;
    switch (monitor::ItemKindOf(entry)) {
        case monitor::ParamItemKind::Number:
            text = monitor::NumberCaption(entry, monitor::RawToShown(entry, raw));
            break;
        case monitor::ParamItemKind::Enum:
            text = monitor::EnumCaption(monitor::ChoicesOf(entry, EnumTexts(number)), raw);
            break;
        case monitor::ParamItemKind::EnumBit:
            text = monitor::BitFieldCaption(ToBits(entry.maximum), ToBits(raw));
            break;
    }
    item->setText(QString::fromStdString(text));
    // A row shown afresh is no longer marked by a compare.
    if (item->data(kDiffersRole).toBool()) {
        item->setData(false, kDiffersRole);
        for (int c = 0; c < model_.columnCount(); ++c) model_.item(row, c)->setData(QVariant(), Qt::BackgroundRole);
    }
}

int CParamDlg::CompareWithFile() {
    if (session_ == nullptr) return -1;
    const auto differing = session_->CompareWithFile();
    if (!differing) {
        ShowBox(resources::Text(resource_ids::kTextNote), LoadText(kTextUploadFirst).toStdString(),
                name_share::kMbIconInformation);
        return -1;
    }
    for (int r = 0; r < model_.rowCount(); ++r) RefreshCaption(r);
    for (const ParameterDifference& d : *differing) {
        const int row = RowOf(d.number);
        if (row < 0) continue;
        QStandardItem* item = model_.item(row, 3);
        item->setText(LoadText(kTextDiffers).arg(QString::fromStdString(d.device), QString::fromStdString(d.stored)));
        item->setData(true, kDiffersRole);
        for (int c = 0; c < model_.columnCount(); ++c)
            model_.item(row, c)->setData(QBrush(kDiffersColour), Qt::BackgroundRole);
    }
    const int count = static_cast<int>(differing->size());
    SetText(kHelpText,
            count == 0 ? LoadText(kTextSame).toStdString() : LoadText(kTextDifferCount).arg(count).toStdString());
    SetText(kDefaultText, "");
    if (QTableView* view = Table()) view->viewport()->update();
    return count;
}

bool CParamDlg::RowDiffers(int32_t number) const {
    const int row = RowOf(number);
    return row >= 0 && model_.item(row, 3)->data(kDiffersRole).toBool();
}

int CParamDlg::RowOf(int32_t number) const {
    for (int r = 0; r < model_.rowCount(); ++r)
        if (model_.item(r, 0)->data(kNumberRole).toInt() == number) return r;
    return -1;
}

double CParamDlg::RowValue(int32_t number) const {
    const int row = RowOf(number);
    return row < 0 ? 0.0 : model_.item(row, 3)->data(kRawRole).toDouble();
}

QString CParamDlg::RowCaption(int32_t number) const {
    const int row = RowOf(number);
    return row < 0 ? QString() : model_.item(row, 3)->text();
}

void CParamDlg::SetRowValue(int32_t number, double raw) {
    const int row = RowOf(number);
    if (row < 0) return;
    model_.item(row, 3)->setData(raw, kRawRole);
    RefreshCaption(row);
}

bool CParamDlg::EditRow(int32_t number, const QString& text) {
    const int row = RowOf(number);
    if (row < 0 || !(model_.item(row, 3)->flags() & Qt::ItemIsEditable)) return false;
    const auto input = monitor::CheckNumberInput(EdsEntry(number), text.toStdString());
    if (!input.raw) {
        RefreshCaption(row);  // the previous value stays
        ShowBox(GetGlobal().LoadText(name_share::IDS_CAPTION_ERROR), input.message, name_share::kMbIconStop);
        return false;
    }
    SetRowValue(number, *input.raw);
    return true;
}

void CParamDlg::CopyRowsBack() {
    // By the row's parameter number, so gaps in the numbering cannot shift values.
    for (int r = 0; r < model_.rowCount(); ++r)
        working_.SetParamValue(model_.item(r, 0)->data(kNumberRole).toInt(),
                               model_.item(r, 3)->data(kRawRole).toDouble());
}

void CParamDlg::SortRows(int column, Qt::SortOrder order) {
    if (column != 0 && column != 2) return;
    model_.sort(column, order);
    if (QTableView* view = Table()) {
        view->horizontalHeader()->setSortIndicatorShown(true);
        view->horizontalHeader()->setSortIndicator(column, order);
    }
    // Hidden rows are positions of the view: the group filter is laid again over the new order.
    const int index = groupIndex_;
    groupIndex_ = -1;
    SelectGroup(index);
}

void CParamDlg::SelectGroup(int index) {
    if (index == groupIndex_) return;
    std::vector<int32_t> members;
    if (index > 0 && static_cast<std::size_t>(index) <= groupNumbers_.size())
        members = description_.Groups().GetGroup(groupNumbers_[static_cast<std::size_t>(index - 1)]).members;
    QTableView* view = Table();
    for (int r = 0; r < model_.rowCount(); ++r) {
        const int32_t number = model_.item(r, 0)->data(kNumberRole).toInt();
        const bool shown = index == 0 || std::find(members.begin(), members.end(), number) != members.end();
        if (view != nullptr) view->setRowHidden(r, !shown);
    }
    SetText(kHelpText, "");
    SetText(kDefaultText, "");
    groupIndex_ = index;
}

void CParamDlg::ShowRowTexts(int32_t number) {
    const auto& entry = EdsEntry(number);
    SetText(kHelpText, entry.help);
    std::string text = monitor::DefaultDescription(entry, EnumTexts(number));
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    SetText(kDefaultText, text);
}

bool CParamDlg::IsCommandEnabled(uint16_t command, int32_t number) const {
    const int row = RowOf(number);
    if (row < 0) return false;
    switch (command) {
        case kDownloadOne:
        case kUploadOne: return CanTransfer();
        case kRestore:
        case kDefault: return (model_.item(row, 3)->flags() & Qt::ItemIsEditable) != 0;
        default: return false;
    }
}

void CParamDlg::RunCommand(uint16_t command, int32_t number) {
    if (!IsCommandEnabled(command, number)) return;
    switch (command) {
        case kRestore: SetRowValue(number, working_.GetParam(number).defaultValue); break;
        case kDefault: SetRowValue(number, EdsEntry(number).defaultValue); break;
        case kDownloadOne:
        case kUploadOne: {
            if (command == kDownloadOne) working_.SetParamValue(number, RowValue(number));
            const auto done = command == kDownloadOne ? session_->DownloadOne(working_, number)
                                                      : session_->UploadOne(working_, number);
            if (done == monitor::ParamSession::Single::kBusy) {
                ShowBox(resources::Text(resource_ids::kTextNote), resources::Text(resource_ids::kTextTransferBusy),
                        name_share::kMbIconInformation);
                return;
            }
            if (done == monitor::ParamSession::Single::kDone && command == kUploadOne)
                SetRowValue(number, working_.GetParam(number).defaultValue);
            break;
        }
        default: break;
    }
    if (QTableView* view = Table()) view->viewport()->update();
}

void CParamDlg::ShowContextMenu(const QPoint& pos) {
    QTableView* view = Table();
    const QModelIndex index = view->indexAt(pos);
    if (!index.isValid()) return;
    const int32_t number = model_.item(index.row(), 0)->data(kNumberRole).toInt();
    const auto tree = LoadMenuTree(resource_ids::kContextMenu);
    if (tree.size() <= resource_ids::kContextReportClick) return;
    QMenu menu(this);
    for (const auto& node : tree[resource_ids::kContextReportClick].children) {
        if (node.IsSeparator() || node.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdString(node.caption));
        action->setData(node.id);
        action->setEnabled(IsCommandEnabled(node.id, number));
    }
    if (QAction* chosen = menu.exec(view->viewport()->mapToGlobal(pos)))
        RunCommand(static_cast<uint16_t>(chosen->data().toUInt()), number);
}

void CParamDlg::EditBits(int32_t number) {
    const int row = RowOf(number);
    QTableView* view = Table();
    if (row < 0 || view == nullptr) return;
    const QRect cell = view->visualRect(model_.index(row, 3));
    CDlgBitCheck popup(view->viewport()->mapToGlobal(cell.topLeft()), this);
    SetRowValue(number, popup.Run(ToBits(EdsEntry(number).maximum), ToBits(RowValue(number))));
}

bool CParamDlg::Ask(uint32_t textId) {
    return ShowBox(resources::Text(resource_ids::kTextNote), resources::Text(textId),
                   name_share::kMbYesNo | name_share::kMbIconQuestion) == name_share::kIdYes;
}

void CParamDlg::DefaultSettings() {
    if (!Ask(resource_ids::kTextAskDefaults)) return;
    BuildRows(description_.Params());
    groupIndex_ = 0;
    SelectGroup(CurrentIndex(kGroupList));
}

void CParamDlg::ResetRows() {
    if (!Ask(resource_ids::kTextAskRestore)) return;
    BuildRows(working_);
    groupIndex_ = 0;
    SelectGroup(CurrentIndex(kGroupList));
}

void CParamDlg::StartUpload() {
    if (!CanTransfer() || uploadPending_) return;
    CopyRowsBack();
    if (!session_->StartUpload(working_)) return;
    uploadPending_ = true;
    SetEnabled(kUpload, false);
    SetEnabled(kCompare, false);  // until this upload's values are in
}

void CParamDlg::OnUploaded(DeviceNetEDS::CParamsInfo result) {
    // The table is rebuilt here, on the user-interface thread.
    working_ = std::move(result);
    BuildRows(working_);
    const int current = groupIndex_;
    groupIndex_ = 0;
    SelectGroup(current);
    if (QTableView* view = Table()) view->viewport()->update();
    uploadPending_ = false;
    SetEnabled(kUpload, ticks_ >= 3 && CanTransfer());
    SetEnabled(kCompare, true);
    emit uploadFinished();
}

void CParamDlg::StartDownload() {
    if (!CanTransfer() || downloadPending_) return;
    CopyRowsBack();
    if (!session_->StartDownload(working_)) return;
    downloadPending_ = true;
    SetEnabled(kDownload, false);
}

void CParamDlg::OnDownloaded() {
    downloadPending_ = false;
    SetEnabled(kDownload, ticks_ >= 3 && CanTransfer());
    emit downloadFinished();
}

void CParamDlg::CloseSession() {
    // From here on no transfer can start; the running ones end after their request in flight.
    SetEnabled(kUpload, false);
    SetEnabled(kDownload, false);
    SetEnabled(kCompare, false);
    if (session_ != nullptr) session_->Close();
    uploadPending_ = false;
    downloadPending_ = false;
}

void CParamDlg::done(int result) {
    CloseSession();
    TemplateDialog::done(result);
}

void CParamDlg::Finish() {
    if (finished_) return;
    finished_ = true;
    openTimer_.stop();
    CloseSession();
}

int RunParamEditor(const CEDSFile& description, QWidget* parent) {
    CParamDlg dlg(description, parent);
    return dlg.exec();
}

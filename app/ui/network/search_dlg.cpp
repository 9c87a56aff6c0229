#include "ui/network/search_dlg.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "network/eds_identity_map.h"
#include "network/server_dev.h"
#include "network/slave_setup.h"
#include "services/global.h"
#include "ui/widgets/language_events.h"
#include "ui/widgets/ui_text.h"

namespace {

// Texts of the dialog in the string table, with the built-in text when a language lacks one.
constexpr uint32_t kTextReady = 61720;  // "准备开始搜索"
constexpr uint32_t kTextProgress = 61721;  // "正在搜索从站(%d%%)"
constexpr uint32_t kTextFinished = 61722;  // "搜索完毕"
constexpr uint32_t kTextOpenFailed = 61723;  // "主站打开失败，已停止搜索"
constexpr uint32_t kTextColumnNo = 61724;  // "序号"
constexpr uint32_t kTextColumnMac = 61725;  // "地址"
constexpr uint32_t kTextColumnEds = 61726;  // "EDS文件"
constexpr uint32_t kTextRange = 61727;  // "请输入一个介于 %u 和 %u 之间的整数。"
constexpr uint32_t kTextStopping = 61728;  // "正在停止搜索……"

QString Text(uint32_t id, const char* fallback) {
    QString text = LoadText(id);
    return text.isEmpty() ? QString::fromUtf8(fallback) : text;
}

constexpr int kCloseWaitMs = 20000;

}  // namespace

CSearchDlg::CSearchDlg(CServerDev* master, QWidget* parent)
    : TemplateDialog(kTemplateId, parent,
                     {kEditTimeout, kComboDefaultEds, kListResults, kStaticStatus, kComboStartAddress, kProgress,
                      kButtonStart, kButtonClose, kButtonClear, kButtonStop, kButtonAdd}),
      master_(master) {
    list_ = ControlAs<QTreeWidget>(kListResults);
    progress_ = ControlAs<QProgressBar>(kProgress);
    // "开始搜索" has the OK id but starts the search instead of closing.
    if (auto* start = ControlAs<QAbstractButton>(kButtonStart)) {
        disconnect(start, &QAbstractButton::clicked, this, &QDialog::accept);
        connect(start, &QAbstractButton::clicked, this, [this] { StartSearch(); });
    }
    if (auto* b = ControlAs<QAbstractButton>(kButtonStop))
        connect(b, &QAbstractButton::clicked, this, [this] { StopSearch(); });
    if (auto* b = ControlAs<QAbstractButton>(kButtonClear))
        connect(b, &QAbstractButton::clicked, this, [this] { ClearResults(); });
    if (auto* b = ControlAs<QAbstractButton>(kButtonAdd))
        connect(b, &QAbstractButton::clicked, this, [this] { AddSlaves(); });
    if (auto* edit = ControlAs<QLineEdit>(kEditTimeout)) edit->setMaxLength(5);

    SetText(kEditTimeout, std::to_string(kSearchDefaultTimeoutMs));
    std::vector<std::string> addresses;
    for (int mac = 0; mac <= static_cast<int>(kSearchLastAddress); ++mac) addresses.push_back(std::to_string(mac));
    SetItems(kComboStartAddress, addresses);
    SetCurrentIndex(kComboStartAddress, 0);
    SetItems(kComboDefaultEds, GetGlobal().EdsNames());
    SetCurrentIndex(kComboDefaultEds, 0);
    if (progress_ != nullptr) {
        progress_->setRange(0, 1);
        progress_->setValue(0);
    }
    SetUpResultList();
    ApplyTexts();
    SetStatus(Text(kTextReady, "准备开始搜索"));
    SetIdleButtons(true);
    connect(&LanguageNotifier::Instance(), &LanguageNotifier::languageChanged, this, [this] { ApplyTexts(); });
}

CSearchDlg::~CSearchDlg() {
    // The worker's queued calls aim at this dialog: it has to end first.
    search_.RequestStop();
    search_.Wait();
}

void CSearchDlg::SetUpResultList() {
    if (list_ == nullptr) return;
    list_->setColumnCount(3);
    list_->setHeaderHidden(false);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setStyleSheet(
        QStringLiteral("QTreeView::item { border-right: 1px solid palette(mid); "
                       "border-bottom: 1px solid palette(mid); }"));
    list_->header()->setStretchLastSection(true);
    list_->header()->setDefaultAlignment(Qt::AlignCenter);
    const int widths[] = {50, 50, 200};
    for (int i = 0; i < 3; ++i) list_->setColumnWidth(i, widths[i]);
}

void CSearchDlg::ApplyTexts() {
    if (list_ != nullptr) {
        list_->setHeaderLabels(
            {Text(kTextColumnNo, "序号"), Text(kTextColumnMac, "地址"), Text(kTextColumnEds, "EDS文件")});
    }
}

void CSearchDlg::SetStatus(const QString& text) {
    if (GetText(kStaticStatus) != text.toStdString()) SetText(kStaticStatus, text.toStdString());
}

void CSearchDlg::SetIdleButtons(bool idle) {
    SetEnabled(kButtonStart, idle);
    SetEnabled(kButtonAdd, idle);
    SetEnabled(kButtonClear, idle);
    SetEnabled(kButtonStop, !idle);
}

void CSearchDlg::StartSearch() {
    if (search_.Running() || closing_) return;
    bool ok = false;
    const unsigned long timeout = QString::fromStdString(GetText(kEditTimeout)).trimmed().toULong(&ok);
    if (!ok || timeout < kSearchMinTimeoutMs || timeout > kSearchMaxTimeoutMs) {
        QString format = Text(kTextRange, "请输入一个介于 %u 和 %u 之间的整数。");
        const std::string message =
            QString::asprintf(format.toUtf8().constData(), kSearchMinTimeoutMs, kSearchMaxTimeoutMs).toStdString();
        GetGlobal().ShowMessageBox(1, "%s", message.c_str());
        if (auto* edit = ControlAs<QLineEdit>(kEditTimeout)) {
            edit->setFocus();
            edit->selectAll();
        }
        return;
    }
    SearchOptions options;
    options.timeoutMs = static_cast<uint32_t>(timeout);
    options.startAddress = static_cast<uint32_t>(std::max(0, CurrentIndex(kComboStartAddress)));
    options.defaultEdsName = GetText(kComboDefaultEds);
    options.pauseMs = pauseMs_;
    CGlobal& global = GetGlobal();
    EdsIdentityMap identities =
        EdsIdentityMap::Build(global.EdsNames(), [&](const std::string& name) { return global.GetEdsPath(name); });

    // The worker's callbacks run on this dialog's thread.
    SearchCallbacks callbacks;
    callbacks.started = poster_.Relay<std::size_t>([this](std::size_t count) { OnStarted(count); });
    callbacks.probing = poster_.Relay<std::size_t, std::size_t>(
        [this](std::size_t index, std::size_t count) { OnProbing(index, count); });
    callbacks.found = poster_.Relay<const SearchResult&>([this](const SearchResult& result) { OnFound(result); });
    callbacks.finished = poster_.Relay<SearchEnd>([this](SearchEnd end) { OnFinished(end); });

    if (list_ != nullptr) list_->clear();
    results_.clear();
    if (progress_ != nullptr) progress_->setValue(0);
    SetIdleButtons(false);
    if (!search_.Start(master_, options, std::move(identities), std::move(callbacks))) SetIdleButtons(true);
}

void CSearchDlg::StopSearch() {
    if (!search_.Running()) return;
    search_.RequestStop();
    // "开始搜索" comes back when the worker has ended (OnFinished).
    SetEnabled(kButtonStop, false);
    SetStatus(Text(kTextStopping, "正在停止搜索……"));
}

void CSearchDlg::ClearResults() {
    if (search_.Running()) return;
    if (list_ != nullptr) list_->clear();
    results_.clear();
    search_.ClearResults();
}

void CSearchDlg::AddSlaves() {
    if (search_.Running()) return;
    std::vector<SearchedSlave> slaves;
    for (const SearchResult& r : results_) slaves.push_back({r.macId, r.edsName});
    AddSearchedSlaves(master_, slaves);
    added_ = true;
    reject();
}

void CSearchDlg::OnStarted(std::size_t count) {
    if (progress_ == nullptr) return;
    // An empty range shows a busy bar in Qt; nothing to probe shows an empty bar instead.
    progress_->setRange(0, count == 0 ? 1 : static_cast<int>(count));
    progress_->setValue(0);
}

void CSearchDlg::OnProbing(std::size_t index, std::size_t count) {
    if (progress_ != nullptr) progress_->setValue(static_cast<int>(index + 1));
    QString format = Text(kTextProgress, "正在搜索从站(%d%%)");
    const int percent = count == 0 ? 100 : static_cast<int>(index * 100 / count);
    SetStatus(QString::asprintf(format.toUtf8().constData(), percent));
}

void CSearchDlg::OnFound(const SearchResult& result) {
    results_.push_back(result);
    if (list_ == nullptr) return;
    auto* item =
        new QTreeWidgetItem(QStringList{QString::number(list_->topLevelItemCount()), QString::number(result.macId),
                                        QString::fromStdString(result.edsName)});
    for (int i = 0; i < 3; ++i) item->setTextAlignment(i, Qt::AlignCenter);
    list_->addTopLevelItem(item);
    list_->scrollToItem(item);
}

void CSearchDlg::OnFinished(SearchEnd end) {
    search_.Wait();  // the worker is past its last callback
    if (progress_ != nullptr && end == SearchEnd::Completed) progress_->setValue(progress_->maximum());
    SetStatus(end == SearchEnd::OpenFailed ? Text(kTextOpenFailed, "主站打开失败，已停止搜索")
                                           : Text(kTextFinished, "搜索完毕"));
    SetIdleButtons(true);
    if (closing_) QDialog::reject();
}

void CSearchDlg::reject() {
    if (search_.Running()) {
        search_.RequestStop();
        closing_ = true;
        SetEnabled(kButtonStop, false);
        if (!search_.Wait(kCloseWaitMs)) return;  // still inside a request: closes when it ends
        closing_ = false;
    }
    QDialog::reject();
}

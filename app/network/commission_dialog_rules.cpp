#include "network/commission_dialog_rules.h"

#include <charconv>
#include <utility>

#include "services/core_services.h"
#include "network/server_dev.h"
#include "services/global.h"

namespace {

// Texts of the dialog in the string table.
constexpr uint32_t kTextBadAddress = 61940;  // "请输入一个介于 0 和 63 之间的地址。"
constexpr uint32_t kTextUnchanged = 61941;  // "不变"
constexpr uint32_t kTextReading = 61942;  // "正在读取设备标识……"
constexpr uint32_t kTextRunning = 61943;  // "正在调试节点……"
constexpr uint32_t kTextReadDone = 61944;  // "读取完毕"
constexpr uint32_t kTextSucceeded = 61945;  // "调试成功"
constexpr uint32_t kTextFailed = 61946;  // "调试失败："
constexpr uint32_t kTextCancelled = 61947;  // "已取消"
constexpr uint32_t kTextEdsFile = 61948;  // "EDS文件："
constexpr uint32_t kTextNoEds = 61949;  // "没有与设备标识匹配的EDS文件"
constexpr uint32_t kTextAdded = 61950;  // "已添加到网络"
constexpr uint32_t kTextReadFailed = 61951;  // "读取失败："
constexpr uint32_t kTextOffBus = 61952;  // "设备已改用其他波特率，不能添加到本网络"
constexpr uint32_t kTextRefused = 61953;  // "无法调试该节点："
constexpr uint32_t kTextNothing = 61954;  // "请输入新地址或选择新的波特率。"
constexpr uint32_t kTextReady = 61955;  // "准备就绪"

// What an empty new-address field reads as: no new address (outside 0..63).
constexpr uint32_t kNoAddress = 64;

std::string Text(uint32_t id) { return GetGlobal().LoadText(id); }

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

CommissionDialogRules::CommissionDialogRules(IDialogControls& controls, Context context)
    : controls_(controls), context_(std::move(context)) {}

void CommissionDialogRules::Open() {
    controls_.SetText(kCurrentAddress, std::to_string(kCommissionDefaultMac));
    controls_.SetText(kNewAddress, "");
    std::vector<std::string> bauds{Text(kTextUnchanged)};
    for (uint32_t code = 0; code <= kCommissionHighestBaud; ++code) bauds.push_back(netsvc::BaudName(code));
    controls_.SetItems(kBaud, bauds);
    controls_.SetCurrentIndex(kBaud, 0);
    controls_.SetText(kIdentity, "");
    controls_.SetItems(kSteps, {});
    controls_.SetText(kStatus, Text(kTextReady));
    ApplyEnabled();
}

void CommissionDialogRules::Message(const std::string& text) const {
    if (context_.message) context_.message(text);
}

std::optional<uint32_t> CommissionDialogRules::Address(int id, bool emptyAllowed) const {
    const std::string text = Trimmed(controls_.GetText(id));
    if (text.empty() && emptyAllowed) return kNoAddress;
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > 63) {
        Message(Text(kTextBadAddress));
        return std::nullopt;
    }
    return value;
}

std::optional<CommissionRequest> CommissionDialogRules::ReadRequest() {
    if (activity_ != Activity::kIdle || context_.master == nullptr) return std::nullopt;
    const std::optional<uint32_t> mac = Address(kCurrentAddress, false);
    if (!mac) return std::nullopt;
    CommissionRequest request;
    request.language = CommissionLanguage::User;  // the rows in the window's language
    request.mac = *mac;
    request.newMac = *mac;
    if (std::optional<std::string> refusal = NodeCommissioning::ReadRefusal(*context_.master, request)) {
        Message(Text(kTextRefused) + *refusal);
        return std::nullopt;
    }
    return request;
}

std::optional<CommissionRequest> CommissionDialogRules::RunRequest() {
    if (activity_ != Activity::kIdle || context_.master == nullptr) return std::nullopt;
    const std::optional<uint32_t> mac = Address(kCurrentAddress, false);
    if (!mac) return std::nullopt;
    const std::optional<uint32_t> newMac = Address(kNewAddress, true);
    if (!newMac) return std::nullopt;
    CommissionRequest request;
    request.language = CommissionLanguage::User;  // the rows in the window's language
    request.mac = *mac;
    request.newMac = *newMac == kNoAddress ? *mac : *newMac;
    const int baud = controls_.CurrentIndex(kBaud);
    if (baud > 0) request.newBaud = static_cast<uint32_t>(baud - 1);
    if (request.newMac == request.mac && !request.newBaud) {
        Message(Text(kTextNothing));
        return std::nullopt;
    }
    if (std::optional<std::string> refusal = NodeCommissioning::Refusal(*context_.master, request)) {
        Message(Text(kTextRefused) + *refusal);
        return std::nullopt;
    }
    return request;
}

void CommissionDialogRules::Begin(Activity activity, const CommissionRequest& request) {
    activity_ = activity;
    request_ = request;
    rows_.clear();
    controls_.SetItems(kSteps, rows_);
    controls_.SetText(kStatus, Text(activity == Activity::kReading ? kTextReading : kTextRunning));
    if (activity == Activity::kRunning) toAdd_.reset();
    ApplyEnabled();
}

void CommissionDialogRules::AddRow(const std::string& text) {
    rows_.push_back(text);
    controls_.SetItems(kSteps, rows_);
    controls_.SetCurrentIndex(kSteps, static_cast<int>(rows_.size()) - 1);
}

void CommissionDialogRules::ShowIdentity(const NodeIdentity& identity) {
    const std::optional<std::string> eds = context_.edsFor ? context_.edsFor(identity) : std::nullopt;
    controls_.SetText(kIdentity, IdentityText(identity, CommissionLanguage::User) + "\n" +
                                     (eds ? Text(kTextEdsFile) + *eds : Text(kTextNoEds)));
}

void CommissionDialogRules::Finish(const CommissionOutcome& outcome) {
    const Activity finished = activity_;
    activity_ = Activity::kIdle;
    if (outcome.identity) ShowIdentity(*outcome.identity);
    if (outcome.end == CommissionEnd::Cancelled) {
        controls_.SetText(kStatus, Text(kTextCancelled));
    } else if (finished == Activity::kReading) {
        controls_.SetText(kStatus, outcome.identity ? Text(kTextReadDone) : Text(kTextReadFailed) + outcome.message);
    } else if (outcome.end != CommissionEnd::Done || !outcome.answeredAtNewAddress) {
        controls_.SetText(kStatus, Text(kTextFailed) + outcome.message);
    } else {
        std::string status = Text(kTextSucceeded);
        // The device now answers at its new address: that is where the next read looks.
        controls_.SetText(kCurrentAddress, std::to_string(request_.newMac));
        controls_.SetText(kNewAddress, "");
        controls_.SetCurrentIndex(kBaud, 0);
        const bool onThisBus = !request_.newBaud || context_.master == nullptr ||
                               *request_.newBaud == context_.master->Config().BaudIndex();
        const std::optional<std::string> eds =
            outcome.identity && context_.edsFor ? context_.edsFor(*outcome.identity) : std::nullopt;
        if (!onThisBus) {
            status += "; " + Text(kTextOffBus);
        } else if (!eds) {
            status += "; " + Text(kTextNoEds);
        } else {
            toAdd_ = SearchedSlave{request_.newMac, *eds};
        }
        controls_.SetText(kStatus, status);
    }
    ApplyEnabled();
}

std::optional<SearchedSlave> CommissionDialogRules::SlaveToAdd() const {
    if (!toAdd_ || activity_ != Activity::kIdle || context_.master == nullptr) return std::nullopt;
    if (context_.master->IsRunning() != 0 || context_.master->FindSlave(static_cast<int>(toAdd_->macId)) != nullptr)
        return std::nullopt;
    return toAdd_;
}

void CommissionDialogRules::Added() {
    toAdd_.reset();
    controls_.SetText(kStatus, Text(kTextAdded));
    ApplyEnabled();
}

void CommissionDialogRules::ApplyEnabled() {
    const bool idle = activity_ == Activity::kIdle;
    for (int id : {kCurrentAddress, kNewAddress, kBaud, kRead, kRun}) controls_.SetEnabled(id, idle);
    controls_.SetEnabled(kAdd, SlaveToAdd().has_value());
    controls_.SetEnabled(kClose, true);
}

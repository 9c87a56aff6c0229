#include "ui/monitor/varda_pane.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "cip/service.h"
#include "monitor/data_pane_io.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/resource_ids.h"
#include "services/global.h"
#include "services/timer_periods.h"
#include "ui/widgets/hex_edit.h"
#include "ui/widgets/ui_text.h"

namespace {

class GlobalReports : public monitor::IConsoleReports {
public:
    void ReportApiError(int32_t code, std::string_view context) override { GetGlobal().ReportApiError(code, context); }
    void ReportExplicitError(int32_t status, std::string_view context) override {
        GetGlobal().ReportExplicitError(status, context);
    }
};

std::vector<std::string> ServiceNames() {
    std::vector<std::string> names;
    for (const auto& s : cip::Services()) names.emplace_back(s.name);
    return names;
}

}  // namespace

CVARDAPane::CVARDAPane(CSlaveDev& slave, QWidget* parent, monitor::IConsoleReports* reports)
    : TemplateDialog(resource_ids::kExplicitConsoleDialog, parent),
      slave_(&slave),
      master_(slave.GetParent()),
      address_(slave.GetAddress()),
      ownReports_(reports == nullptr ? std::make_unique<GlobalReports>() : nullptr),
      reports_(reports != nullptr ? reports : ownReports_.get()),
      session_(monitor::MasterConsoleApi(master_ != nullptr ? master_->Handle() : 0), *reports_) {
    // 1. Services, 2. class and instance lists.
    SetItems(kServiceList, ServiceNames());
    SetCurrentIndex(kServiceList, 0);
    SetItems(kClassList, monitor::ClassListTexts());
    SetCurrentIndex(kClassList, 0);
    SetItems(kInstanceList, monitor::InstanceListTexts());
    SetCurrentIndex(kInstanceList, 0);
    // 3. The slaves of the master.
    std::vector<int> addresses;
    if (master_ != nullptr)
        for (int i = 0; i < master_->GetChildCount(); ++i)
            if (CSlaveDev* s = master_->GetChild(i)) addresses.push_back(s->GetAddress());
    const auto list = monitor::BuildSlaveList(addresses, address_);
    SetItems(kSlaveList, list.texts);
    SetCurrentIndex(kSlaveList, list.selected);
    // 4. Connection types.
    SetItems(kConnectionType, monitor::ConnectionTypeTexts());
    SetCurrentIndex(kConnectionType, 1);
    // 5. The byte editors.
    for (int id : {kServiceData, kReplyData, kWriteData, kReadData}) {
        if (HexEdit* edit = Editor(id)) {
            edit->SetCapacity(monitor::kConsoleBufferSize);
            edit->clear();
            connect(edit, &HexEdit::inputRejected, this,
                    [this](const QString& reason) { Message(reason.toStdString()); });
        }
    }
    if (HexEdit* edit = Editor(kServiceData)) edit->SetBytesPerRow(8);
    for (int id : {kExplicitTimeout, kWriteTimeout, kReadTimeout}) SetText(id, "1000");
    SetText(kRetryCount, "3");
    SetText(kPeriod, std::to_string(timer_periods::kDataPaneMs));
    SetText(kStatusText, LoadText(resource_ids::kTextOffline).toStdString());

    if (auto* combo = ControlAs<QComboBox>(kSlaveList))
        connect(combo, qOverload<int>(&QComboBox::activated), this, &CVARDAPane::OnSlaveChosen);
    if (auto* b = Control(kGetStatus))
        connect(qobject_cast<QAbstractButton*>(b), &QAbstractButton::clicked, this, &CVARDAPane::RefreshStatus);
    if (auto* b = qobject_cast<QAbstractButton*>(Control(kSend)))
        connect(b, &QAbstractButton::clicked, this, [this] { Send(); });
    if (auto* b = qobject_cast<QAbstractButton*>(Control(kReadIo)))
        connect(b, &QAbstractButton::clicked, this, &CVARDAPane::ReadIo);
    if (auto* b = qobject_cast<QAbstractButton*>(Control(kWriteIo)))
        connect(b, &QAbstractButton::clicked, this, &CVARDAPane::WriteIo);
    if (auto* box = ControlAs<QCheckBox>(kTimedSend))
        connect(box, &QCheckBox::clicked, this, [this](bool on) { SetTimedSending(on); });
    connect(&timer_, &QTimer::timeout, this, &CVARDAPane::OnTick);
    // 6. Status.
    RefreshStatus();
}

CVARDAPane::~CVARDAPane() { timer_.stop(); }

HexEdit* CVARDAPane::Editor(int id) const { return ControlAs<HexEdit>(id); }

void CVARDAPane::Message(const std::string& text) { GetGlobal().ShowMessageBox(1, "%s", text.c_str()); }

uint32_t CVARDAPane::Timeout(int id) const {
    bool ok = false;
    const uint32_t value = QString::fromStdString(GetText(id)).trimmed().toUInt(&ok);
    return ok ? value : 1000;
}

void CVARDAPane::RefreshStatus() {
    const uint32_t status = session_.SlaveStatus(static_cast<uint32_t>(address_));
    SetText(kStatusText, monitor::StatusLine(status, [](int32_t code) { return GetGlobal().StatusDisplayText(code); }));
}

void CVARDAPane::OnSlaveChosen(int index) {
    const auto items = Items(kSlaveList);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return;
    bool ok = false;
    const int address = QString::fromStdString(items[static_cast<std::size_t>(index)]).toInt(&ok);
    if (!ok) return;
    address_ = address;
    if (master_ != nullptr)
        if (CSlaveDev* s = master_->FindSlave(address)) slave_ = s;
    RefreshStatus();
}

bool CVARDAPane::ReadRetryCount() {
    const auto input = monitor::CheckRetryCount(GetText(kRetryCount), retryCount_);
    retryCount_ = input.value;
    if (!input.message.empty()) {
        SetText(kRetryCount, std::to_string(retryCount_));
        Message(input.message);
        return false;
    }
    return true;
}

bool CVARDAPane::Prepare() {
    ReadRetryCount();
    std::vector<uint8_t> data;
    QString error;
    HexEdit* edit = Editor(kServiceData);
    if (edit != nullptr && !edit->Bytes(data, error)) {
        Message(error.toStdString());
        return false;
    }
    auto prepared =
        monitor::PrepareRequest(CurrentIndex(kServiceList), GetText(kClassList), GetText(kInstanceList), data);
    if (!prepared.request) {
        Message(prepared.message);
        return false;
    }
    request_ = std::move(*prepared.request);
    return true;
}

std::optional<bool> CVARDAPane::SendPrepared() {
    const auto outcome = session_.Send(static_cast<uint32_t>(address_), request_, Timeout(kExplicitTimeout),
                                       timer_.isActive(), retryCount_);
    if (!outcome) return std::nullopt;  // the previous send or its report is still under way
    if (!outcome->ok) return false;
    if (HexEdit* edit = Editor(kReplyData)) edit->SetBytes(outcome->reply);
    SetText(kRequestLength, std::to_string(request_.data.size()));
    SetText(kReplyLength, std::to_string(outcome->reply.size()));
    return true;
}

bool CVARDAPane::Send() {
    if (session_.Sending() || !Prepare()) return false;
    return SendPrepared().value_or(false);
}

void CVARDAPane::SetTimedSending(bool on) {
    static constexpr int kRequestControls[] = {kServiceList,     kClassList, kInstanceList, kServiceData,
                                               kExplicitTimeout, kSend,      kPeriod};
    if (on) {
        if (!Prepare()) {
            SetChecked(kTimedSend, false);
            return;
        }
        for (int id : kRequestControls) SetEnabled(id, false);
        const int period = monitor::PeriodFromText(GetText(kPeriod)).milliseconds;
        SetText(kPeriod, std::to_string(period));
        SetEnabled(kRetryCount, false);
        SetChecked(kTimedSend, true);
        timer_.start(period);
        return;
    }
    timer_.stop();
    SetChecked(kTimedSend, false);
    for (int id : kRequestControls) SetEnabled(id, true);
    SetEnabled(kRetryCount, true);
}

void CVARDAPane::OnTick() {
    // A report box of the previous send runs its own event loop, which delivers ticks here;
    // the session skips them.
    if (SendPrepared() == false) SetTimedSending(false);
}

void CVARDAPane::ReadIo() {
    ReadRetryCount();
    if (HexEdit* edit = Editor(kReadData)) edit->clear();
    const auto outcome = session_.ReadIo(static_cast<uint32_t>(address_), CurrentIndex(kConnectionType),
                                         monitor::InputSizesOf(*slave_), Timeout(kReadTimeout));
    if (!outcome.message.empty()) {
        Message(outcome.message);
        return;
    }
    if (HexEdit* edit = Editor(kReadData)) edit->SetBytes(outcome.data);
    SetText(kReadLength, std::to_string(outcome.length));
}

void CVARDAPane::WriteIo() {
    ReadRetryCount();
    std::vector<uint8_t> data;
    QString error;
    if (HexEdit* edit = Editor(kWriteData); edit != nullptr && !edit->Bytes(data, error)) {
        Message(error.toStdString());
        return;
    }
    const auto outcome =
        session_.WriteIo(static_cast<uint32_t>(address_), CurrentIndex(kConnectionType), data, Timeout(kWriteTimeout));
    if (outcome.ok) GetGlobal().ShowMessageBox(2, "%s", outcome.message.c_str());
    SetText(kWriteLength, std::to_string(outcome.length));
}

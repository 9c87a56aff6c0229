#include "ui/network/commission_dlg.h"

#include <QAbstractButton>
#include <QProgressBar>

#include <algorithm>

#include "network/eds_identity_map.h"
#include "network/server_dev.h"
#include "services/global.h"

namespace {

std::optional<std::string> EdsFor(const EdsIdentityMap& identities, const NodeIdentity& id) {
    return identities.Match(DeviceIdentity{id.vendorId, id.deviceType, id.productCode, id.revision});
}

}  // namespace

CCommissionDlg::CCommissionDlg(CServerDev* master, QWidget* parent)
    : TemplateDialog(kTemplateId, parent,
                     {Rules::kCurrentAddress, Rules::kNewAddress, Rules::kBaud, Rules::kIdentity, Rules::kSteps,
                      Rules::kStatus, Rules::kProgress, Rules::kRead, Rules::kRun, Rules::kAdd, Rules::kClose}),
      master_(master) {
    CGlobal& global = GetGlobal();
    auto identities = std::make_shared<EdsIdentityMap>(
        EdsIdentityMap::Build(global.EdsNames(), [&](const std::string& name) { return global.GetEdsPath(name); }));
    Rules::Context context;
    context.master = master_;
    context.edsFor = [identities](const NodeIdentity& id) { return EdsFor(*identities, id); };
    context.message = [](std::string_view text) {
        const std::string message(text);
        GetGlobal().ShowMessageBox(1, "%s", message.c_str());
    };
    rules_ = std::make_unique<Rules>(*this, std::move(context));

    progress_ = ControlAs<QProgressBar>(Rules::kProgress);
    if (progress_ != nullptr) {
        progress_->setRange(0, static_cast<int>(CommissionStep::Done));
        progress_->setValue(0);
    }
    if (auto* b = ControlAs<QAbstractButton>(Rules::kRead))
        connect(b, &QAbstractButton::clicked, this, [this] { Start(Rules::Activity::kReading); });
    if (auto* b = ControlAs<QAbstractButton>(Rules::kRun))
        connect(b, &QAbstractButton::clicked, this, [this] { Start(Rules::Activity::kRunning); });
    if (auto* b = ControlAs<QAbstractButton>(Rules::kAdd))
        connect(b, &QAbstractButton::clicked, this, [this] { AddToNetwork(); });
    rules_->Open();
}

CCommissionDlg::~CCommissionDlg() {
    // The worker's queued calls aim at this dialog: it has to end first.
    commissioning_.Cancel();
    job_.Wait();
}

void CCommissionDlg::Start(Rules::Activity activity) {
    if (job_.Running() || closing_) return;
    const std::optional<CommissionRequest> request =
        activity == Rules::Activity::kReading ? rules_->ReadRequest() : rules_->RunRequest();
    if (!request) return;
    rules_->Begin(activity, *request);
    if (progress_ != nullptr) progress_->setValue(0);
    commissioning_.ResetCancel();
    auto row = poster_.Relay<CommissionStep, std::string>(
        [this](CommissionStep step, const std::string& text) { OnRow(step, text); });
    auto finished = poster_.Relay<CommissionOutcome>([this](const CommissionOutcome& outcome) { OnFinished(outcome); });
    CServerDev* master = master_;
    const bool reading = activity == Rules::Activity::kReading;
    job_.Start([this, master, reading, request = *request, row, finished] {
        auto relayRow = [&row](CommissionStep step, const std::string& text) { row(step, text); };
        finished(reading ? commissioning_.Read(*master, request, relayRow)
                         : commissioning_.Run(*master, request, relayRow));
    });
}

void CCommissionDlg::OnRow(CommissionStep step, const std::string& text) {
    rules_->AddRow(text);
    if (progress_ != nullptr) progress_->setValue(std::max(progress_->value(), static_cast<int>(step)));
}

void CCommissionDlg::OnFinished(const CommissionOutcome& outcome) {
    job_.Wait();  // the worker is past its last callback
    if (progress_ != nullptr && outcome.end == CommissionEnd::Done) progress_->setValue(progress_->maximum());
    rules_->Finish(outcome);
    if (closing_) QDialog::reject();
}

void CCommissionDlg::AddToNetwork() {
    const std::optional<SearchedSlave> slave = rules_->SlaveToAdd();
    if (!slave) return;
    if (AddSearchedSlaves(master_, {*slave}) == nullptr) return;
    added_ = true;
    rules_->Added();
    reject();
}

void CCommissionDlg::reject() {
    if (job_.Running()) {
        // Closes when the worker has ended (OnFinished); the step in progress is not cut short.
        closing_ = true;
        commissioning_.Cancel();
        SetEnabled(Rules::kClose, false);
        return;
    }
    QDialog::reject();
}

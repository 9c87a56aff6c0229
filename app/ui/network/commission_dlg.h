// CCommissionDlg: dialog 20060 "节点调试". Reads the identity of the device at an address of the
// selected (stopped) master's bus and gives it a new MAC ID and baud rate: the core's
// NodeCommissioning runs on a worker, its rows come back as queued calls into the step list and
// the progress bar. "添加到网络" adds the commissioned device as a slave the way the search adds
// found slaves, and closes. The rules (fields, checks, enabled buttons) are CommissionDialogRules.
#pragma once

#include <memory>

#include "network/commission_dialog_rules.h"
#include "network/node_commissioning.h"
#include "services/background_job.h"
#include "ui/widgets/template_dialog.h"
#include "ui/widgets/ui_poster.h"
#include "resources/resource_ids.h"

class CServerDev;
class QProgressBar;

class CCommissionDlg : public TemplateDialog {
    Q_OBJECT
public:
    static constexpr uint32_t kTemplateId = resource_ids::kCommissionDialog;
    using Rules = CommissionDialogRules;

    // Commissions on `master` (not owned; stopped, and outliving the dialog).
    explicit CCommissionDlg(CServerDev* master, QWidget* parent = nullptr);
    ~CCommissionDlg() override;

    // True after "添加到网络": the master's tree node needs rebuilding.
    bool SlaveAdded() const { return added_; }
    bool Busy() const { return job_.Running(); }
    const Rules& DialogRules() const { return *rules_; }

    // Cancels a read or commissioning before its next step and waits for it before closing.
    void reject() override;

private:
    void Start(Rules::Activity activity);
    void OnRow(CommissionStep step, const std::string& text);
    void OnFinished(const CommissionOutcome& outcome);
    void AddToNetwork();

    CServerDev* master_;
    std::unique_ptr<Rules> rules_;
    QProgressBar* progress_ = nullptr;
    bool added_ = false;
    bool closing_ = false;
    UiPoster poster_{this};
    NodeCommissioning commissioning_;  // used by the job: declared before it, so it goes after
    name_share::BackgroundJob job_;
};

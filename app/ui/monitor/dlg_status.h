// CDlgStatus: the status pane at the top of a slave's data panel (template 20047). It shows the
// slave's status text, refreshed every 500 ms and on "获取从站状态"; with the master stopped it
// asks the slave itself, which then reads "主站未启动". The text is taken whole under the
// slave's lock, so a poller writing it at the same time never shows half of it.
#pragma once

#include <cstdint>

#include "ui/widgets/template_dialog.h"
#include "resources/resource_ids.h"

class CSlaveDev;
class QTimer;

class CDlgStatus : public TemplateDialog {
    Q_OBJECT
public:
    enum ControlId : int { kIdStatusText = 1000, kIdGetStatus = 1001 };
    static constexpr uint32_t kTemplateId = resource_ids::kStatusPaneDialog;
    static constexpr int kPeriodMs = 500;

    CDlgStatus(CSlaveDev& slave, QWidget* parent);
    ~CDlgStatus() override;

    QString StatusText() const;
    // The tick of the timer and the button.
    void Refresh();

private:
    void FitStatusText();
    CSlaveDev* slave_;
    QTimer* timer_ = nullptr;
};

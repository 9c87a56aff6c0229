#include "ui/monitor/dlg_status.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "monitor/data_pane_io.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "resources/ui_texts.h"
#include "ui/widgets/ui_text.h"

namespace {
constexpr uint32_t kTextGetStatus = 61505;
}

CDlgStatus::CDlgStatus(CSlaveDev& slave, QWidget* parent)
    : TemplateDialog(kTemplateId, parent, {kIdStatusText, kIdGetStatus}), slave_(&slave) {
    setWindowFlags(Qt::Widget);
    SetText(kIdGetStatus, LoadText(kTextGetStatus).toStdString());
    if (auto* text = ControlAs<QLabel>(kIdStatusText)) text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (auto* button = ControlAs<QAbstractButton>(kIdGetStatus)) {
        connect(button, &QAbstractButton::clicked, this, [this] { Refresh(); });
    }
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
    timer_->start(kPeriodMs);
}

CDlgStatus::~CDlgStatus() = default;

QString CDlgStatus::StatusText() const { return QString::fromStdString(GetText(kIdStatusText)); }

void CDlgStatus::Refresh() {
    if (!monitor::IsInNetwork(slave_)) {
        // The slave left the network while its panel was up: nothing more to ask it.
        timer_->stop();
        slave_ = nullptr;
        SetText(kIdStatusText, "");
        return;
    }
    CServerDev* master = slave_->GetParent();
    if (master == nullptr || master->IsRunning() == 0) slave_->UpdateStatus();
    SetText(kIdStatusText, resources::Localized(slave_->StatusText()));
    FitStatusText();
}

void CDlgStatus::FitStatusText() {
    // A long status wraps inside the pane: the label and the pane grow by the lines it needs.
    auto* label = ControlAs<QLabel>(kIdStatusText);
    if (label == nullptr) return;
    label->setWordWrap(true);
    const int needed = label->heightForWidth(label->width());
    if (needed <= label->height()) return;
    label->resize(label->width(), needed);
    setFixedHeight(std::max(height(), label->geometry().bottom() + 1 + 2));
}

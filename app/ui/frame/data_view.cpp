#include "ui/frame/data_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "network/master_card.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "ui/monitor/slave_data_panel.h"

namespace {

QString Text(uint32_t id) { return QString::fromStdString(GetGlobal().LoadText(id)); }

}  // namespace

CDataView::CDataView(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    panel_ = new QWidget();
    panel_->setObjectName(QStringLiteral("taskPanel"));
    panel_->setAutoFillBackground(true);
    layout_ = new QVBoxLayout(panel_);
    layout_->setContentsMargins(12, 12, 12, 12);
    layout_->setSpacing(12);
    layout_->addStretch(1);
    setWidget(panel_);  // owned by the scroll area
}

CDataView::~CDataView() = default;

void CDataView::ShowNode(CDeviceBase* node, bool force) {
    if (node == nullptr) {
        ClearPanel();
        shown_ = nullptr;
        return;
    }
    auto* slave = node->IsMaster() != 0 ? nullptr : dynamic_cast<CSlaveDev*>(node);
    // A slave's panel is rebuilt when asked to or when the slave wants it (its configuration
    // changed); the flag is cleared once the panel stands.
    if (slave != nullptr && force) slave->SetPanelRebuild(1);
    const bool rebuild = slave != nullptr && slave->PanelRebuild() != 0;
    if (node == shown_ && !force && !rebuild) return;
    ClearPanel();
    shown_ = node;
    if (slave == nullptr) {
        if (node->IsMaster() != 0) BuildMasterPanel(node);
    } else {
        BuildSlavePanel(slave);
        slave->SetPanelRebuild(0);
    }
}

void CDataView::RefreshView(int force) { ShowNode(GetGlobal().GetSelectedNode(), force != 0); }

void CDataView::RetranslateUi() { RefreshView(2); }

QList<QGroupBox*> CDataView::Groups() const {
    return panel_->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
}

void CDataView::ClearPanel() {
    for (QGroupBox* group : Groups()) {
        layout_->removeWidget(group);
        // A pane of the group may be in the middle of an action (a message box of a failed read
        // runs its own loop): the group leaves the panel now and goes once that has returned.
        group->hide();
        group->setParent(nullptr);
        group->deleteLater();
    }
}

void CDataView::BuildMasterPanel(CDeviceBase* node) {
    auto* master = static_cast<CServerDev*>(node);
    const MasterCard* card = master->Card();
    const int32_t type = card != nullptr ? static_cast<int32_t>(card->DeviceType()) : 0;
    auto* group = new QGroupBox(Text(61447), panel_);
    group->setObjectName(QStringLiteral("61447"));
    auto* layout = new QVBoxLayout(group);
    const QString lines[] = {
        QStringLiteral("%1:%2").arg(Text(61448), QString::fromStdString(GetGlobal().GetDeviceTypeName(type))),
        QStringLiteral("%1:%2").arg(Text(61449)).arg(type),
        QStringLiteral("%1:%2").arg(Text(61450)).arg(card != nullptr ? card->ChannelCount() : 0),
        QStringLiteral("%1:%2").arg(Text(61451)).arg(master->Channel()),
        QStringLiteral("%1:%2").arg(Text(61452)).arg(master->GetChildCount()),
        QStringLiteral("%1:%2").arg(Text(61453),
                                    QString::fromStdString(GetGlobal().GetBaudName(
                                        static_cast<int32_t>(master->Config().BaudIndex())))),
    };
    for (const QString& line : lines) {
        auto* label = new QLabel(line, group);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    layout_->insertWidget(layout_->count() - 1, group);
}

void CDataView::BuildSlavePanel(CDeviceBase* node) {
    auto* slave = dynamic_cast<CSlaveDev*>(node);
    if (slave == nullptr) return;
    for (QGroupBox* group : BuildSlaveDataGroups(*slave, panel_)) layout_->insertWidget(layout_->count() - 1, group);
}

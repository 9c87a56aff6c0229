#include "ui/frame/data_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "network/property_list.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "monitor/data_pane_io.h"
#include "services/global.h"
#include "ui/monitor/slave_data_panel.h"
#include "ui/monitor/dlg_data_pane.h"

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

int CDataView::WidthForPanes() const {
    // A data pane in the current language inside its titled group (frame and margins of about
    // a line's height) and the panel's margins, beside the view's own frame and a vertical
    // scroll bar.
    const int group = 2 * fontMetrics().height();
    return CDlgDataPane::DataPaneWidth() + group + 2 * layout_->contentsMargins().left() + 2 * frameWidth() +
           verticalScrollBar()->sizeHint().width();
}

CDataView::~CDataView() = default;

void CDataView::ShowNode(CDeviceBase* node, bool force) {
    DropGonePanels();
    if (node == nullptr) {
        HidePanel();
        if (force) {
            while (!kept_.empty()) DropPanel(kept_.begin()->first);
        }
        shown_ = nullptr;
        return;
    }
    auto* slave = node->IsMaster() != 0 ? nullptr : dynamic_cast<CSlaveDev*>(node);
    // A slave's panel is rebuilt when asked to or when the slave wants it (its configuration
    // changed); the flag is cleared once the panel stands.
    if (slave != nullptr && force) slave->SetPanelRebuild(1);
    const bool rebuild = slave != nullptr && slave->PanelRebuild() != 0;
    if (node == shown_ && !force && !rebuild) return;
    HidePanel();
    shown_ = node;
    if (slave == nullptr) {
        if (node->IsMaster() != 0) BuildMasterPanel(node);
        return;
    }
    if (rebuild) DropPanel(slave);
    auto kept = kept_.find(slave);
    QWidget* panel = kept != kept_.end() ? kept->second.data() : nullptr;
    if (panel == nullptr) {
        panel = BuildSlavePanel(slave);
        kept_[slave] = panel;
    }
    slave->SetPanelRebuild(0);
    shownSlavePanel_ = panel;
    panel->show();
}

void CDataView::RetranslateUi() {
    // Hidden panels would keep the old language: all are built again when next shown.
    for (auto it = kept_.begin(); it != kept_.end();) {
        const CDeviceBase* slave = (it++)->first;
        if (slave != shown_) DropPanel(slave);
    }
    ShowNode(shown_, true);
}

QList<QGroupBox*> CDataView::Groups() const {
    if (shownSlavePanel_) return shownSlavePanel_->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly);
    if (masterGroup_) return {masterGroup_.data()};
    return {};
}

void CDataView::DropPanels(const CDeviceBase* node) {
    if (node == nullptr) return;
    if (node->IsMaster() == 0) {
        DropPanel(node);
        return;
    }
    for (int i = 0; i < node->GetChildCount(); ++i) DropPanel(node->GetChild(i));
}

void CDataView::HidePanel() {
    if (masterGroup_) {
        layout_->removeWidget(masterGroup_);
        masterGroup_->hide();
        masterGroup_->deleteLater();
        masterGroup_ = nullptr;
    }
    if (shownSlavePanel_) shownSlavePanel_->hide();
    shownSlavePanel_ = nullptr;
}

void CDataView::DropPanel(const CDeviceBase* slave) {
    auto it = kept_.find(slave);
    if (it == kept_.end()) return;
    if (QWidget* panel = it->second.data()) {
        if (panel == shownSlavePanel_) shownSlavePanel_ = nullptr;
        layout_->removeWidget(panel);
        // A pane of the panel may be in the middle of an action (a message box of a failed read
        // runs its own loop): the panel leaves now and goes once that has returned.
        panel->hide();
        panel->setParent(nullptr);
        panel->deleteLater();
    }
    kept_.erase(it);
}

void CDataView::DropGonePanels() {
    for (auto it = kept_.begin(); it != kept_.end();) {
        const CDeviceBase* slave = (it++)->first;
        if (!monitor::IsInNetwork(static_cast<const CSlaveDev*>(slave))) DropPanel(slave);
    }
}

void CDataView::BuildMasterPanel(CDeviceBase* node) {
    auto* group = new QGroupBox(Text(61447), panel_);
    group->setObjectName(QStringLiteral("61447"));
    auto* layout = new QVBoxLayout(group);
    for (const std::string& line : MasterPanelLines(*static_cast<CServerDev*>(node))) {
        auto* label = new QLabel(QString::fromStdString(line), group);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    layout_->insertWidget(layout_->count() - 1, group);
    masterGroup_ = group;
}

QWidget* CDataView::BuildSlavePanel(CDeviceBase* node) {
    auto* slave = static_cast<CSlaveDev*>(node);
    auto* panel = new QWidget(panel_);
    panel->setObjectName(QStringLiteral("slavePanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    for (QGroupBox* group : BuildSlaveDataGroups(*slave, panel)) column->addWidget(group);
    panel->hide();
    layout_->insertWidget(layout_->count() - 1, panel);
    return panel;
}

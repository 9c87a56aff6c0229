#include "ui/frame/network_views.h"

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "ui/frame/command_dialogs.h"
#include "ui/frame/data_view.h"
#include "ui/frame/property_pane.h"
#include "ui/frame/tree_dev.h"

NetworkViews::NetworkViews(CTreeDev& tree, CPanePropertyGrid& properties, CDataView& data, QObject* parent)
    : QObject(parent), tree_(tree), properties_(properties), data_(data) {
    connect(&tree_, &CTreeDev::nodeSelected, this, &NetworkViews::Select);
}

CServerDev* NetworkViews::SelectedMaster() const {
    if (selected_ == nullptr) return nullptr;
    if (selected_->IsMaster() != 0) return static_cast<CServerDev*>(selected_);
    return selected_->GetParent();
}

void NetworkViews::Select(CDeviceBase* node) {
    selected_ = node;
    RefreshView(0);
    properties_.ShowNode(node, false);
    emit selectionChanged(node);
}

void NetworkViews::RefreshView(int force) { data_.ShowNode(selected_, force != 0); }

void NetworkViews::ShowSelectedAgain() {
    properties_.ShowNode(selected_, true);
    RefreshView(1);
}

CSlaveDev* NetworkViews::SelectedSlave() const {
    if (selected_ == nullptr || selected_->IsMaster() != 0) return nullptr;
    return static_cast<CSlaveDev*>(selected_);
}

void NetworkViews::DeleteSelected() {
    CDeviceBase* node = selected_;
    if (node == nullptr || node->IsRunning() != 0) return;
    tree_.DeleteNodeItem(node);
    CDeviceBase* now = tree_.SelectedNode();
    if (selected_ == node || selected_ != now) Select(now);
    if (properties_.ShownNode() == node) properties_.ShowNode(now, true);
    if (data_.ShownNode() == node) data_.ShowNode(now, true);
    data_.DropPanels(node);
    GetNetwork().DeleteNode(node);
}

void NetworkViews::DeleteAllSlaves() {
    CDeviceBase* master = selected_;
    if (master == nullptr || master->IsMaster() == 0 || master->IsRunning() != 0) return;
    tree_.DeleteChildItems(master);
    CDeviceBase* now = tree_.SelectedNode();
    if (selected_ != now) Select(now);
    data_.DropPanels(master);
    master->RemoveAllChildren();
    ShowSelectedAgain();
}

void NetworkViews::SearchSlaves(QWidget* window) {
    CServerDev* master = SelectedMaster();
    if (master != nullptr && master->IsRunning() == 0 && command_dialogs::SearchSlaves(*master, window))
        ShowAddedSlaves(master);
}

void NetworkViews::CommissionNode(QWidget* window) {
    CServerDev* master = SelectedMaster();
    if (master != nullptr && master->IsRunning() == 0 && command_dialogs::CommissionNode(*master, window))
        ShowAddedSlaves(master);
}

void NetworkViews::ShowAddedSlaves(CServerDev* master) {
    tree_.DeleteChildItems(master);
    for (int i = 0; i < master->GetChildCount(); ++i) tree_.InsertNode(master->GetChild(i), false);
    if (master->GetChildCount() > 0) tree_.ExpandToNode(master->GetChild(master->GetChildCount() - 1));
    tree_.SelectNode(master);
    Select(tree_.SelectedNode());
    ShowSelectedAgain();
}

void NetworkViews::EditSelected(QWidget* window) {
    CDeviceBase* node = selected_;
    if (node != nullptr && command_dialogs::EditNode(*node, window)) {
        tree_.UpdateNodeText(node);
        properties_.ShowNode(node, true);
    }
    RefreshView(1);
}

void NetworkViews::AddMaster(QWidget* window) {
    CServerDev* master = command_dialogs::AddMaster(window);
    if (master == nullptr) return;
    tree_.InsertNode(master);
    tree_.UpdateNodeText(master);
    tree_.SelectNode(master);
}

void NetworkViews::AddSlaves(const std::string& edsName, QWidget* window) {
    CServerDev* master = SelectedMaster();
    if (master == nullptr) return;
    CSlaveDev* first = command_dialogs::AddSlaves(*master, edsName, window);
    if (first == nullptr) return;
    tree_.Rebuild();
    tree_.ExpandToNode(first);
    tree_.SelectNode(first);
}

void NetworkViews::ExplicitConsole(QWidget* window) {
    CSlaveDev* slave = SelectedSlave();
    if (slave != nullptr && slave->GetParent() != nullptr) command_dialogs::ExplicitConsole(*slave, window);
}

void NetworkViews::ParameterEditor(QWidget* window) {
    if (CSlaveDev* slave = SelectedSlave()) command_dialogs::ParameterEditor(*slave, window);
}

void NetworkViews::ShowMasterState(CServerDev* master) {
    tree_.UpdateNodeState(master);
    properties_.ShowNode(selected_, true);
}

void NetworkViews::LetGo() {
    selected_ = nullptr;
    properties_.ShowNode(nullptr, true);
    data_.ShowNode(nullptr, true);
    tree_.Clear();  // its items point at the nodes
}

void NetworkViews::ShowLoaded(bool selectFirst) {
    tree_.Rebuild();
    tree_.expandAll();  // the slaves of a network just read are in view
    if (selectFirst) {
        const std::vector<CServerDev*> masters = GetNetwork().Masters();
        if (!masters.empty()) tree_.SelectNode(masters.front());
    }
    Select(tree_.SelectedNode());
}

void NetworkViews::Refresh() {
    tree_.RefreshStates(true);
    if (selected_ != nullptr) selected_->RefreshDataCells();
}

void NetworkViews::Retranslate() {
    properties_.RetranslateUi();
    properties_.ShowNode(selected_, true);
    RefreshView(2);
}

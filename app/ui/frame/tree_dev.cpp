#include "ui/frame/tree_dev.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QScrollBar>

#include <chrono>
#include <string>
#include <vector>

#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"
#include "services/timer_periods.h"

namespace {

constexpr uint32_t kTextMasterStarted = 10022;  // "启动"
constexpr uint32_t kTextMasterStopped = 10023;  // "停止"
constexpr uint32_t kTextSlaveOffline = 61480;  // "从站未连接"

QString Text(uint32_t id) { return QString::fromStdString(GetGlobal().LoadText(id)); }

QString NodeName(const CDeviceBase& node) {
    std::string name;
    node.GetName(name);
    return QString::fromStdString(name);
}

CDeviceBase* NodeOfItem(const QTreeWidgetItem* item) {
    if (item == nullptr) return nullptr;
    return reinterpret_cast<CDeviceBase*>(item->data(0, CTreeDev::kNodeRole).value<quintptr>());
}

// The state in words, for the tool tip and the accessible description.
QString StateWords(int icon) {
    switch (icon) {
        case CTreeDev::kIconMasterRunning: return Text(kTextMasterStarted);
        case CTreeDev::kIconMasterStopped: return Text(kTextMasterStopped);
        case CTreeDev::kIconSlaveOnline: return QString::fromStdString(GetGlobal().StatusDisplayText(0));
        default: return Text(kTextSlaveOffline);
    }
}

qint64 SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CTreeDev::CTreeDev(QWidget* parent) : QTreeWidget(parent), clock_(SteadyMs) {
    setObjectName(QString::number(kControlId));
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setIconSize(QSize(16, 16));
    // Names are never cut: the column is as wide as its longest row and the pane scrolls.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &CTreeDev::OnSelectionChanged);
}

int CTreeDev::WidthForNames() const {
    int width = sizeHintForColumn(0) + frameWidth() * 2;
    if (verticalScrollBar()->isVisible()) width += verticalScrollBar()->sizeHint().width();
    return width;
}

CTreeDev::~CTreeDev() {
    // The nodes may be gone already; nothing may reach them from here on.
    blockSignals(true);
    nodes_.clear();
    clear();
}

int CTreeDev::StateIcon(const CDeviceBase& node) {
    if (node.IsMaster() != 0) {
        return node.IsRunning() != 0 ? kIconMasterRunning : kIconMasterStopped;
    }
    return node.IsRunning() != 0 ? kIconSlaveOnline : kIconSlaveOffline;
}

QIcon CTreeDev::IconForIndex(int index) {
    switch (index) {
        case kIconMasterRunning: return QIcon(QStringLiteral(":/icons/tree_master_running.svg"));
        case kIconMasterStopped: return QIcon(QStringLiteral(":/icons/tree_master_stopped.svg"));
        case kIconSlaveOnline: return QIcon(QStringLiteral(":/icons/tree_slave_online.svg"));
        case kIconSlaveOffline: return QIcon(QStringLiteral(":/icons/tree_slave_offline.svg"));
        default: return {};
    }
}

void CTreeDev::Clear() {
    SelectNode(nullptr);
    nodes_.clear();
    clear();
}

void CTreeDev::Rebuild() {
    Clear();
    for (CServerDev* master : GetNetwork().Masters()) {
        InsertNode(master, false);
    }
    viewport()->update();
}

void CTreeDev::InsertNode(CDeviceBase* node, bool repaint) {
    if (node == nullptr || nodes_.contains(node)) return;
    QTreeWidgetItem* parentItem = nullptr;
    if (CServerDev* parent = node->GetParent()) parentItem = ItemOf(parent);
    auto* item = new QTreeWidgetItem();  // owned by the tree once added below
    item->setText(0, NodeName(*node));
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    if (parentItem != nullptr) {
        parentItem->addChild(item);
    } else {
        addTopLevelItem(item);
    }
    Entry& entry = nodes_[node];
    entry.item = item;
    ApplyState(entry, StateIcon(*node));
    for (int i = 0; i < node->GetChildCount(); ++i) {
        InsertNode(node->GetChild(i), false);
    }
    if (repaint) viewport()->update();
}

void CTreeDev::UpdateNodeText(CDeviceBase* node) {
    auto it = node != nullptr ? nodes_.find(node) : nodes_.end();
    if (it == nodes_.end()) return;
    it->second.item->setText(0, NodeName(*node));
    ApplyState(it->second, it->second.icon);  // the tool tip carries the name
}

void CTreeDev::UpdateNodeState(CDeviceBase* node) {
    auto it = node != nullptr ? nodes_.find(node) : nodes_.end();
    if (it == nodes_.end()) return;
    if (node->IsMaster() != 0) {
        for (int i = 0; i < node->GetChildCount(); ++i) UpdateNodeState(node->GetChild(i));
    }
    ApplyState(it->second, StateIcon(*node));
}

void CTreeDev::RetranslateUi() {
    for (auto& [node, entry] : nodes_) ApplyState(entry, entry.icon);
}

void CTreeDev::RefreshStates(bool force) {
    if (!force) {
        if (!isVisible()) return;
        const qint64 now = clock_();
        if (now - lastRefresh_ < timer_periods::kTreeRefreshMs) return;
        lastRefresh_ = now;
    }
    for (auto& [node, entry] : nodes_) {
        const int icon = StateIcon(*node);
        if (icon != entry.icon) ApplyState(entry, icon);
    }
}

bool CTreeDev::DeleteNodeItem(CDeviceBase* node) {
    if (node == nullptr) return false;
    if (node->IsMaster() != 0) {
        for (int i = 0; i < node->GetChildCount(); ++i) DeleteNodeItem(node->GetChild(i));
    }
    auto it = nodes_.find(node);
    if (it == nodes_.end()) return false;
    QTreeWidgetItem* item = it->second.item;
    nodes_.erase(it);
    QTreeWidgetItem* next = itemAbove(item);
    if (next == nullptr) next = itemBelow(item);
    if (next != nullptr) {
        setCurrentItem(next);
    } else {
        // Nothing left to select.
        setCurrentItem(nullptr);
        clearSelection();
    }
    ForgetSubtree(node);
    delete item;  // its children go with it
    return true;
}

void CTreeDev::DeleteChildItems(CDeviceBase* master) {
    if (master == nullptr || master->IsMaster() == 0) return;
    const int count = master->GetChildCount();
    if (count == 0) return;
    for (int i = 0; i < count - 1; ++i) {
        CDeviceBase* slave = master->GetChild(i);
        auto it = nodes_.find(slave);
        if (it == nodes_.end()) continue;
        QTreeWidgetItem* item = it->second.item;
        nodes_.erase(it);
        if (currentItem() == item) setCurrentItem(ItemOf(master));
        delete item;
    }
    DeleteNodeItem(master->GetChild(count - 1));
}

void CTreeDev::SelectNode(CDeviceBase* node) {
    QTreeWidgetItem* item = ItemOf(node);
    if (item != nullptr) {
        setCurrentItem(item);
        scrollToItem(item);
    } else {
        setCurrentItem(nullptr);
        clearSelection();
    }
}

void CTreeDev::ExpandToNode(CDeviceBase* node) {
    if (node == nullptr) return;
    CDeviceBase* top = node;
    while (top->GetParent() != nullptr) top = top->GetParent();
    if (QTreeWidgetItem* item = ItemOf(top)) item->setExpanded(true);
}

CDeviceBase* CTreeDev::SelectedNode() const {
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : NodeOfItem(items.first());
}

QTreeWidgetItem* CTreeDev::ItemOf(const CDeviceBase* node) const {
    auto it = node != nullptr ? nodes_.find(node) : nodes_.end();
    return it == nodes_.end() ? nullptr : it->second.item;
}

int CTreeDev::IconOf(const CDeviceBase* node) const {
    auto it = node != nullptr ? nodes_.find(node) : nodes_.end();
    return it == nodes_.end() ? -1 : it->second.icon;
}

void CTreeDev::SetClock(std::function<qint64()> nowMs) {
    clock_ = nowMs ? std::move(nowMs) : std::function<qint64()>(SteadyMs);
}

void CTreeDev::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* hit = nullptr;
    QPoint globalPos = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // The menu key works on the selected item, with the menu beside it.
        const QList<QTreeWidgetItem*> selected = selectedItems();
        hit = selected.isEmpty() ? nullptr : selected.first();
        if (hit != nullptr) globalPos = viewport()->mapToGlobal(visualItemRect(hit).center());
    } else {
        hit = itemAt(event->pos());
        if (hit != nullptr) setCurrentItem(hit);
    }
    CDeviceBase* node = NodeOfItem(hit);
    const bool slave = node != nullptr && node->IsMaster() == 0;
    emit contextMenuRequested(globalPos, slave ? QStringLiteral("Slave") : QStringLiteral("Net"));
    event->accept();
}

void CTreeDev::ApplyState(Entry& entry, int icon) {
    entry.icon = icon;
    QTreeWidgetItem* item = entry.item;
    item->setIcon(0, IconForIndex(icon));
    item->setData(0, kIconRole, icon);
    const QString words = StateWords(icon);
    item->setToolTip(0, item->text(0) + QLatin1Char('\n') + words);
    item->setData(0, Qt::AccessibleDescriptionRole, words);
}

void CTreeDev::ForgetSubtree(CDeviceBase* node) {
    for (int i = 0; i < node->GetChildCount(); ++i) {
        CDeviceBase* child = node->GetChild(i);
        nodes_.erase(child);
        ForgetSubtree(child);
    }
}

void CTreeDev::OnSelectionChanged() {
    CDeviceBase* node = SelectedNode();
    if (node == lastSelected_) return;
    lastSelected_ = node;
    emit nodeSelected(node);
}

// CTreeDev: the network tree of the main window's "网络结构" pane. Masters are top-level items
// with their slaves as children; each item shows the node's name and a state icon (1 master
// running, 2 master stopped, 3 slave on line, 4 slave off line). The tree keeps the link from
// every model node to its item, refreshes the icons (at most every 500 ms unless forced), and
// asks the main window for a context menu on right click.
#pragma once

#include <QString>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <map>

#include "network/device_base.h"

class CTreeDev : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 2010;
    // Item data roles: the model node (as quintptr) and the icon index shown.
    static constexpr int kNodeRole = Qt::UserRole;
    static constexpr int kIconRole = Qt::UserRole + 1;
    // Icon indexes of the state rule.
    static constexpr int kIconMasterRunning = 1;
    static constexpr int kIconMasterStopped = 2;
    static constexpr int kIconSlaveOnline = 3;
    static constexpr int kIconSlaveOffline = 4;

    explicit CTreeDev(QWidget* parent = nullptr);
    ~CTreeDev() override;

    // The icon index a node's state calls for.
    static int StateIcon(const CDeviceBase& node);
    // The icon of an index (1 to 4), drawn for the program; a null icon for other indexes.
    static QIcon IconForIndex(int index);

    // Empties the tree and inserts every master of the program's network registry (registry
    // order, then channel order) with its slaves.
    void Rebuild();
    // Empties the tree, before the nodes it shows go.
    void Clear();
    // After a language change: the state words of every tool tip in the new language.
    void RetranslateUi();
    // Inserts a node (as the last child of its parent's item, or at the top) and its children.
    void InsertNode(CDeviceBase* node, bool repaint = true);
    // Sets the item text to the node's current name.
    void UpdateNodeText(CDeviceBase* node);
    // Sets the node's icon from its state (a master's slaves first).
    void UpdateNodeState(CDeviceBase* node);
    // Recomputes every icon and changes only the items whose icon differs. Unless forced, does
    // nothing while the tree is hidden or when less than 500 ms passed since the last refresh.
    void RefreshStates(bool force = false);
    // Removes a node's item (a master's slaves first) and moves the selection to the item
    // above, or below when there is none. False when the node has no item.
    bool DeleteNodeItem(CDeviceBase* node);
    // Removes the items of every slave of a master (the selection moves as for the last one).
    void DeleteChildItems(CDeviceBase* master);
    // Selects the node's item; none (or a node without an item) clears the selection.
    void SelectNode(CDeviceBase* node);
    // Expands the item of the node's top-level ancestor.
    void ExpandToNode(CDeviceBase* node);
    // The node of the selected item, or nullptr.
    CDeviceBase* SelectedNode() const;

    // The item of a node (nullptr when it has none) and the icon index recorded for it (-1).
    QTreeWidgetItem* ItemOf(const CDeviceBase* node) const;
    int IconOf(const CDeviceBase* node) const;
    // Number of nodes that have items.
    int NodeCount() const { return static_cast<int>(nodes_.size()); }
    // Width the pane needs to show every row's name whole (indentation, icon and frame included).
    int WidthForNames() const;

    // The millisecond clock of the refresh throttle (a steady clock unless replaced).
    void SetClock(std::function<qint64()> nowMs);

signals:
    // The selected node changed (nullptr: nothing selected).
    void nodeSelected(CDeviceBase* node);
    // The user asked for a context menu: the sub-menu of menu 20003 to show ("Net" or "Slave").
    void contextMenuRequested(QPoint globalPos, QString subMenuCaption);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Entry {
        QTreeWidgetItem* item = nullptr;
        int icon = 0;
    };
    void ApplyState(Entry& entry, int icon);
    void ForgetSubtree(CDeviceBase* node);
    void OnSelectionChanged();

    std::map<const CDeviceBase*, Entry> nodes_;
    CDeviceBase* lastSelected_ = nullptr;
    qint64 lastRefresh_ = 0;
    std::function<qint64()> clock_;
};

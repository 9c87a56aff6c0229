// The three views of the network in the main window - the tree, the property pane and the data
// view - the node selected in the tree, and the commands that change the network from there
// (add, edit and delete nodes, search, commission). The views stay in step with the model: the
// selection moves before a node goes, the panes let go of nodes before the network is replaced.
#pragma once

#include <QObject>

#include <string>

class CDataView;
class CDeviceBase;
class CPanePropertyGrid;
class CServerDev;
class CSlaveDev;
class CTreeDev;
class QWidget;

class NetworkViews : public QObject {
    Q_OBJECT
public:
    NetworkViews(CTreeDev& tree, CPanePropertyGrid& properties, CDataView& data, QObject* parent);

    // The node selected in the tree (none: nullptr) and its master (a master is its own).
    CDeviceBase* Selected() const { return selected_; }
    CServerDev* SelectedMaster() const;
    // The tree's selection changed to `node`: the data view and the property pane show it.
    void Select(CDeviceBase* node);
    // WM_REFRESH_VIEW: the data view shows the selected node; force != 0 rebuilds its panel.
    void RefreshView(int force);
    // Both panes show the selected node again, rebuilt.
    void ShowSelectedAgain();

    // The commands on the selection; their dialogs are modal to `window`. Deleting a node takes
    // its item first (the selection moves to the item above, or below), then the node.
    void DeleteSelected();
    void DeleteAllSlaves();
    void SearchSlaves(QWidget* window);
    void CommissionNode(QWidget* window);
    void EditSelected(QWidget* window);
    void AddMaster(QWidget* window);
    void AddSlaves(const std::string& edsName, QWidget* window);
    void ExplicitConsole(QWidget* window);
    void ParameterEditor(QWidget* window);
    // A master started or stopped.
    void ShowMasterState(CServerDev* master);

    // Before the network is replaced: nothing is shown or selected, the tree is empty.
    void LetGo();
    // After: the tree is rebuilt and opened; `selectFirst` selects the first master.
    void ShowLoaded(bool selectFirst);

    // One tick of the refresh timer: the tree's icons and the selected node's data.
    void Refresh();
    // After a language change: every text again, the selected node rebuilt.
    void Retranslate();

signals:
    void selectionChanged(CDeviceBase* node);

private:
    // The master's node is rebuilt after a dialog added slaves to it.
    void ShowAddedSlaves(CServerDev* master);
    CSlaveDev* SelectedSlave() const;

    CTreeDev& tree_;
    CPanePropertyGrid& properties_;
    CDataView& data_;
    CDeviceBase* selected_ = nullptr;  // not owned: a node of the network model
};

// CPanePropertyGrid: the "属性栏" pane. A toolbar (20044: IO配置, 参数配置, 属性配置 - the main
// window's own actions) above a read-only property tree (control 1000) of the node selected in
// the network tree: card, channel, baud rate and slave count of a master; name, address, EDS
// file, identity and I/O connection data of a slave.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>

#include "resources/resource_ids.h"

class CDeviceBase;
class QAction;
class QToolBar;
class QTreeWidget;

class CPanePropertyGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kControlId = 2011;
    static constexpr int kToolBarId = resource_ids::kPropertyToolBar;
    static constexpr int kGridId = 1000;
    // Item data role on value cells: true for number items.
    static constexpr int kNumberRole = Qt::UserRole + 1;

    // `actionFor` gives the main window's action of a command id (nullptr: a disabled button).
    explicit CPanePropertyGrid(std::function<QAction*(uint16_t)> actionFor, QWidget* parent = nullptr);
    ~CPanePropertyGrid() override;

    // Shows a node's properties (nullptr: empty). The same node without `force` is left as it is.
    void ShowNode(CDeviceBase* node, bool force = false);
    // After a language change: rebuilds the toolbar and shows the selected node again (forced).
    void RetranslateUi();

    CDeviceBase* ShownNode() const { return shown_; }
    QTreeWidget* Grid() const { return grid_; }
    QToolBar* ToolBar() const { return toolBar_; }
    // Width the pane needs to show its toolbar's commands with their captions.
    int WidthForCaptions() const;
    // How many times the grid was refilled (a changed or forced node).
    int FillCount() const { return fillCount_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildToolBar();
    void FitToolBar();
    // Width of the toolbar with its buttons in `style`, the pane's margins included.
    int ToolBarWidth(Qt::ToolButtonStyle style) const;
    void FitNameColumn();
    void SetHeaderTexts();
    void Fill();

    std::function<QAction*(uint16_t)> actionFor_;
    QToolBar* toolBar_ = nullptr;
    QTreeWidget* grid_ = nullptr;
    CDeviceBase* shown_ = nullptr;
    int fillCount_ = 0;
    bool fittingColumn_ = false;  // the program sets the name column's width
    bool nameColumnDragged_ = false;  // the user set it
};

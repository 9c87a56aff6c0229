// CDataView: the main window's central widget. It shows the panel of the node selected in the
// network tree: for a master the "主站卡信息" group with the card's name, model, channel count,
// channel index, slave count and baud rate; for a slave its data panel (status pane and one
// data pane per I/O buffer, scrolled when taller than the view); nothing for no node.
#pragma once

#include <QScrollArea>

class CDeviceBase;
class QGroupBox;
class QVBoxLayout;

class CDataView : public QScrollArea {
    Q_OBJECT
public:
    explicit CDataView(QWidget* parent = nullptr);
    ~CDataView() override;

    // Shows the panel of a node (the selected node is passed by the caller). The node shown last
    // is not rebuilt unless `force` is set.
    void ShowNode(CDeviceBase* node, bool force = false);
    // WM_REFRESH_VIEW: shows the panel of the application's selected node; force != 0 rebuilds it.
    void RefreshView(int force = 0);
    // After a language change: rebuilds the panel in the new language.
    void RetranslateUi();

    CDeviceBase* ShownNode() const { return shown_; }
    // The groups of the panel shown, top to bottom.
    QList<QGroupBox*> Groups() const;

private:
    void ClearPanel();
    void BuildMasterPanel(CDeviceBase* master);
    void BuildSlavePanel(CDeviceBase* slave);

    QWidget* panel_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    CDeviceBase* shown_ = nullptr;
};

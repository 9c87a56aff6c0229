// CDataView: the main window's central widget. It shows the panel of the node selected in the
// network tree: for a master the "主站卡信息" group with the card's name, model, channel count,
// channel index, slave count and baud rate; for a slave its data panel (status pane and one
// data pane per I/O buffer, scrolled when taller than the view); nothing for no node. A slave's
// panel lives as long as the slave: selecting another node hides it, so its timed reads and
// writes go on and its formats and typed values stay.
#pragma once

#include <QPointer>
#include <QScrollArea>
#include <map>

class CDeviceBase;
class QGroupBox;
class QVBoxLayout;

class CDataView : public QScrollArea {
    Q_OBJECT
public:
    explicit CDataView(QWidget* parent = nullptr);
    ~CDataView() override;

    // Shows the panel of a node (the selected node is passed by the caller). The node shown last
    // is not rebuilt unless `force` is set; a slave's kept panel is shown again as it was unless
    // `force` is set or the slave asks for a rebuild. No node with `force` drops every kept panel.
    void ShowNode(CDeviceBase* node, bool force = false);
    // After a language change: rebuilds the panel in the new language.
    void RetranslateUi();

    // Width the view needs to show a slave's data panes without scrolling sideways.
    int WidthForPanes() const;

    // Drops the kept panel of a slave, or of every slave of a master, before the node goes.
    void DropPanels(const CDeviceBase* node);

    CDeviceBase* ShownNode() const { return shown_; }
    // The groups of the panel shown, top to bottom.
    QList<QGroupBox*> Groups() const;
    // Slave panels kept (shown or hidden).
    int KeptPanelCount() const { return static_cast<int>(kept_.size()); }

private:
    void HidePanel();
    void DropPanel(const CDeviceBase* slave);
    void DropGonePanels();
    void BuildMasterPanel(CDeviceBase* master);
    QWidget* BuildSlavePanel(CDeviceBase* slave);

    QWidget* panel_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
    CDeviceBase* shown_ = nullptr;
    QPointer<QGroupBox> masterGroup_;
    QPointer<QWidget> shownSlavePanel_;
    std::map<const CDeviceBase*, QPointer<QWidget>> kept_;  // a slave's panel by its slave
};

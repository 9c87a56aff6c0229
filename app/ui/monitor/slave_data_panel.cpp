#include "ui/monitor/slave_data_panel.h"

#include <QGroupBox>
#include <QHBoxLayout>

#include "monitor/slave_panel_groups.h"
#include "network/slave_dev.h"
#include "ui/monitor/dlg_data_pane.h"
#include "ui/monitor/dlg_status.h"
#include "ui/widgets/ui_text.h"

namespace {

QGroupBox* NewGroup(const QString& caption, uint32_t captionId, QWidget* content, QWidget* panel) {
    auto* group = new QGroupBox(caption, panel);
    group->setObjectName(QString::number(captionId));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    content->setParent(group);
    layout->addWidget(content, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addStretch(1);
    return group;
}

}  // namespace

QList<QGroupBox*> BuildSlaveDataGroups(CSlaveDev& slave, QWidget* panel) {
    QList<QGroupBox*> groups;
    const QString address = LoadText(monitor::kAddressCaptionId) + QString::asprintf("%2d", slave.GetAddress());
    groups.append(NewGroup(address, monitor::kAddressCaptionId, new CDlgStatus(slave, panel), panel));
    for (const monitor::DataGroup& g : monitor::DataGroupsOf(slave.Config())) {
        auto* pane = new CDlgDataPane(g.type, g.direction, g.size, slave, panel);
        groups.append(NewGroup(LoadText(g.captionId), g.captionId, pane, panel));
    }
    return groups;
}

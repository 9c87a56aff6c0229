#include "ui/frame/data_view.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "network/master_card.h"
#include "network/network.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/global.h"

namespace {

QString Text(uint32_t id) { return QString::fromStdString(GetGlobal().LoadText(id)); }

constexpr int kStatusPeriodMs = 500;

// The status group at the top of a slave's panel: the slave's status text, refreshed twice a
// second, and "获取从站状态". With the master stopped the slave is asked itself (it then reads
// "主站未启动"); while the master runs its poller keeps the text current.
class SlaveStatusGroup : public QGroupBox {
public:
    explicit SlaveStatusGroup(CSlaveDev& slave, QWidget* parent) : QGroupBox(parent), slave_(slave) {
        setTitle(Text(61508) + QString::asprintf("%2d", slave.GetAddress()));
        auto* layout = new QHBoxLayout(this);
        status_ = new QLabel(this);
        status_->setObjectName(QStringLiteral("status"));
        status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* button = new QPushButton(Text(61505), this);
        button->setObjectName(QStringLiteral("61505"));
        layout->addWidget(status_, 1);
        layout->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this] { Refresh(); });
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, [this] { Refresh(); });
        timer_->start(kStatusPeriodMs);
        Refresh();
    }

private:
    void Refresh() {
        if (!StillInNetwork()) {
            // The slave left the network while its panel was up: nothing more to ask it.
            timer_->stop();
            status_->clear();
            return;
        }
        CServerDev* master = slave_.GetParent();
        if (master == nullptr || master->IsRunning() == 0) slave_.UpdateStatus();
        status_->setText(QString::fromStdString(slave_.StatusText()));
    }

    bool StillInNetwork() const {
        for (CServerDev* master : GetNetwork().Masters()) {
            for (int i = 0; i < master->GetChildCount(); ++i) {
                if (master->GetChild(i) == &slave_) return true;
            }
        }
        return false;
    }

    CSlaveDev& slave_;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
};

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
    if (node == shown_ && !force) return;
    ClearPanel();
    shown_ = node;
    if (node->IsMaster() != 0) {
        BuildMasterPanel(node);
    } else {
        BuildSlavePanel(node);
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
        delete group;
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
    auto* group = new SlaveStatusGroup(*slave, panel_);
    group->setObjectName(QStringLiteral("61508"));
    layout_->insertWidget(layout_->count() - 1, group);
}

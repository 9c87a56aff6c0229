// The property pane: what it lists for masters and slaves, when it refills, its toolbar and its
// captions after a language change.
#include <QAction>
#include <QToolBar>
#include <QTreeWidget>

#include <functional>
#include <map>

#include "panes_support.h"
#include "ui/frame/property_pane.h"

namespace {

using panes_test::PanesTest;

// The grid as lines: categories "[caption]" and items "caption=value", indented by depth.
std::vector<std::string> Lines(const QTreeWidget& grid) {
    std::vector<std::string> lines;
    std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* item, int depth) {
        const std::string indent(static_cast<size_t>(depth) * 2, ' ');
        if (item->childCount() > 0 || item->parent() == nullptr) {
            lines.push_back(indent + "[" + item->text(0).toStdString() + "]");
            EXPECT_TRUE(item->isExpanded()) << item->text(0).toStdString();
        } else {
            const bool number = item->data(1, CPanePropertyGrid::kNumberRole).toBool();
            lines.push_back(indent + item->text(0).toStdString() + (number ? "#" : "=") + item->text(1).toStdString());
            EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
        }
        for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < grid.topLevelItemCount(); ++i) walk(grid.topLevelItem(i), 0);
    return lines;
}

class PropertyPane : public PanesTest {
protected:
    std::map<uint16_t, QAction*> actions;  // before the pane, which asks for them
    CPanePropertyGrid pane{[this](uint16_t id) -> QAction* {
        auto it = actions.find(id);
        return it == actions.end() ? nullptr : it->second;
    }};
};

TEST_F(PropertyPane, MasterShowsItsCardChannelBaudAndSlaveCount) {
    CServerDev* master = AddMaster(0, 0, 7, 2);
    AddSlave(master, 3);
    AddSlave(master, 4);
    pane.ShowNode(master);
    // Numbers of a master are written into text items.
    EXPECT_EQ(Lines(*pane.Grid()), (std::vector<std::string>{
                                       "[主站卡信息]",
                                       "  网络状态=停止",
                                       "  主站卡名称=" + GetGlobal().GetDeviceTypeName(101),
                                       "  主站卡型号=101",
                                       "  主站卡地址=7",
                                       "  CAN通道个数=" + std::to_string(GetGlobal().GetChannelCount(101)),
                                       "  CAN通道索引=0",
                                       "  使用波特率=" + GetGlobal().GetBaudName(2),
                                       "  已添加从站个数=2",
                                   }));
    EXPECT_FALSE(GetGlobal().GetDeviceTypeName(101).empty()) << "the settings name device type 101";
}

TEST_F(PropertyPane, SameNodeIsNotRefilledUnlessForcedAndStartingShowsTheNewState) {
    CServerDev* master = AddMaster(0, 0, 0, 0, panes_test::kFakeType);
    AddSlave(master, 5);
    fake_.SetSlaveStatus(5, 0);
    pane.ShowNode(master);
    const int fills = pane.FillCount();
    QTreeWidgetItem* first = pane.Grid()->topLevelItem(0);
    pane.ShowNode(master);
    EXPECT_EQ(pane.FillCount(), fills);
    EXPECT_EQ(pane.Grid()->topLevelItem(0), first) << "the same items stay";

    ASSERT_EQ(master->Start(), 1);
    pane.ShowNode(master);
    EXPECT_EQ(Lines(*pane.Grid())[1], "  网络状态=停止") << "unforced: the shown state is kept";
    pane.ShowNode(master, true);
    EXPECT_EQ(pane.FillCount(), fills + 1);
    EXPECT_EQ(Lines(*pane.Grid())[1], "  网络状态=启动");
    master->Stop();

    pane.ShowNode(nullptr);
    EXPECT_EQ(pane.Grid()->topLevelItemCount(), 0);
    EXPECT_EQ(pane.ShownNode(), nullptr);
}

TEST_F(PropertyPane, EdsSlaveListsTheEntriesOfItsConnections) {
    CServerDev* master = AddMaster(0, 0);
    CSlaveDev* slave = AddSlave(master, 12, 4, 2, "ND-DIO 16/8 I/O Block");
    SlaveEds eds;
    ASSERT_EQ(LoadSlaveEds(eds, DemoEds("nd_dio_16_8.eds")), 1);
    slave->SetEds(eds);
    SlaveConfigBlock block = slave->Config();
    block.use.Reset();
    block.use[ConnectionUse::kFromEds] = 1;
    block.use[ConnectionUse::kPoll] = 1;
    block.use[ConnectionUse::kPollInput] = 255;  // no entry chosen
    block.use[ConnectionUse::kPollOutput] = 1;
    block.use[ConnectionUse::kCos] = 1;
    block.use[ConnectionUse::kCosInput] = 1;
    block.use[ConnectionUse::kCosOutput] = 1;
    block.use[ConnectionUse::kCyclic] = 1;  // hidden behind change of state
    block.use[ConnectionUse::kCyclicInput] = 1;
    block.use[ConnectionUse::kCyclicOutput] = 1;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.VendorId = 1250;
    r.ProductType = 7;
    r.ProductCode = 101;
    block.record.SetRecord(r);
    slave->ReplaceConfig(block);

    pane.ShowNode(slave);
    const std::string input = "  名称=Input Data";
    EXPECT_EQ(Lines(*pane.Grid()), (std::vector<std::string>{
                                       "[从站信息]",
                                       "  从站名称=ND-DIO 16/8 I/O Block",
                                       "  从站地址#12",
                                       "  EDS文件=" + DemoEds("nd_dio_16_8.eds"),
                                       "[从站配置]",
                                       "  厂商ID#1250",
                                       "  产品类型#7",
                                       "  产品代码#101",
                                       "  厂商名称=Norvane Demo Devices",
                                       "  设备类型=Generic Discrete I/O",
                                       "[生产消费信息]",
                                       "  [轮询输出]",
                                       "    名称=Output Data",
                                       "    数据长度#2",
                                       "    有效位数#8",
                                       "    路径长度#6",
                                       "    连接路径=20 04 24 64 30 03",
                                       "    帮助=Outputs 1 to 8 and a reserved byte",
                                       "  [状态改变输入]",
                                       "    名称=Input Data",
                                       "    数据长度#4",
                                       "    有效位数#32",
                                       "    路径长度#6",
                                       "    连接路径=20 04 24 65 30 03",
                                       "    帮助=Inputs 1 to 16 and a scan counter",
                                       "  [状态改变输出]",
                                       "    名称=Output Data",
                                       "    数据长度#2",
                                       "    有效位数#8",
                                       "    路径长度#6",
                                       "    连接路径=20 04 24 64 30 03",
                                       "    帮助=Outputs 1 to 8 and a reserved byte",
                                   }));
}

TEST_F(PropertyPane, HandConfiguredSlaveShowsNoEdsFileAndDataLengthsOnly) {
    CServerDev* master = AddMaster(0, 0);
    // The slave dialog marks hand-configured slaves with [0] = 1 as well; without an EDS
    // description they still count as hand-configured.
    CSlaveDev* slave = AddSlave(master, 9, 6, 3, "Valve");
    SlaveConfigBlock block = slave->Config();
    block.use[ConnectionUse::kStrobe] = 1;
    block.use[ConnectionUse::kCyclic] = 1;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.StrobeInputSize = 8;
    r.StrobeOutputSize = 0;
    r.CosInputSize = 5;
    r.CosOutputSize = 7;
    block.record.SetRecord(r);
    slave->ReplaceConfig(block);
    ASSERT_EQ(slave->Config().use[ConnectionUse::kFromEds], 1);

    pane.ShowNode(slave);
    EXPECT_EQ(Lines(*pane.Grid()),
              (std::vector<std::string>{
                  "[从站信息]",     "  从站名称=Valve", "  从站地址#9",   "  EDS文件=未使用EDS文件",
                  "[从站配置]",     "  厂商ID#0",       "  产品类型#0",   "  产品代码#0",
                  "[生产消费信息]", "  [轮询输入]",     "    数据长度#6", "  [轮询输出]",
                  "    数据长度#3", "  [选通输入]",     "    数据长度#8", "  [选通输出]",
                  "    数据长度#0", "  [周期输入]",     "    数据长度#5", "  [周期输出]",
                  "    数据长度#7",
              }));
}

TEST_F(PropertyPane, ToolbarShowsTheWindowsActionsInOrder) {
    QAction io(QStringLiteral("IO配置"));
    QAction parameters(QStringLiteral("参数配置"));
    actions = {{32819, &io}, {32820, &parameters}};  // no 32788 in the table: a disabled stand-in
    pane.RetranslateUi();
    const QList<QAction*> shown = pane.ToolBar()->actions();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0], &io);
    EXPECT_EQ(shown[1], &parameters);
    EXPECT_EQ(shown[2]->objectName(), QStringLiteral("32788"));
    EXPECT_EQ(shown[2]->text(), QStringLiteral("属性配置"));
    EXPECT_FALSE(shown[2]->isEnabled());
    EXPECT_EQ(pane.ToolBar()->objectName(), QStringLiteral("20044"));
    EXPECT_EQ(pane.Grid()->objectName(), QStringLiteral("1000"));
    EXPECT_EQ(pane.objectName(), QStringLiteral("2011"));
    pane.RetranslateUi();
    EXPECT_EQ(pane.ToolBar()->actions().size(), 3) << "rebuilding does not add buttons";
    EXPECT_EQ(pane.findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly).size(), 1)
        << "stand-ins do not pile up";
}

TEST_F(PropertyPane, LanguageChangeReTitlesTheShownNode) {
    CServerDev* master = AddMaster(0, 0);
    pane.ShowNode(master);
    ASSERT_EQ(pane.Grid()->topLevelItem(0)->text(0), QStringLiteral("主站卡信息"));
    const int english = panes_test::EnglishLanguage();
    ASSERT_GE(english, 0);
    const int chinese = GetGlobal().CurrentLanguage();
    ASSERT_EQ(GetGlobal().SelectLanguage(english), 1);
    pane.RetranslateUi();
    const QString title = pane.Grid()->topLevelItem(0)->text(0);
    const QString state = pane.Grid()->topLevelItem(0)->child(0)->text(0);
    ASSERT_EQ(GetGlobal().SelectLanguage(chinese), 1);
    EXPECT_EQ(title, QString::fromStdString(panes_test::EnglishText(61447)));
    EXPECT_NE(title, QStringLiteral("主站卡信息"));
    EXPECT_EQ(state, QString::fromStdString(panes_test::EnglishText(10021)));
    pane.RetranslateUi();
    EXPECT_EQ(pane.Grid()->topLevelItem(0)->text(0), QStringLiteral("主站卡信息"));
}

}  // namespace

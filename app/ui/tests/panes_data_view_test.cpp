// The data view: the master card panel, the slave status pane and the empty panel.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "panes_support.h"
#include "ui/frame/data_view.h"

namespace {

using panes_test::PanesTest;

QStringList Labels(const QGroupBox& group) {
    QStringList texts;
    for (const QLabel* label : group.findChildren<QLabel*>()) texts << label->text();
    return texts;
}

class DataView : public PanesTest {
protected:
    CDataView view;
};

TEST_F(DataView, MasterShowsTheCardInformationGroup) {
    CServerDev* master = AddMaster(0, 0, 5, 1);
    AddSlave(master, 1);
    AddSlave(master, 2);
    AddSlave(master, 3);
    view.ShowNode(master);
    const QList<QGroupBox*> groups = view.Groups();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("主站卡信息"));
    const QString type = QString::fromStdString(GetGlobal().GetDeviceTypeName(101));
    EXPECT_EQ(Labels(*groups[0]),
              (QStringList{
                  QStringLiteral("主站卡名称:") + type,
                  QStringLiteral("主站卡型号:101"),
                  QStringLiteral("CAN通道个数:%1").arg(GetGlobal().GetChannelCount(101)),
                  QStringLiteral("CAN通道索引:0"),
                  QStringLiteral("已添加从站个数:3"),
                  QStringLiteral("使用波特率:") + QString::fromStdString(GetGlobal().GetBaudName(1)),
              }));
}

TEST_F(DataView, TheShownNodeIsRebuiltOnlyWhenForcedAndNoSelectionEmptiesThePanel) {
    CServerDev* master = AddMaster(0, 0);
    view.ShowNode(master);
    QGroupBox* before = view.Groups().value(0);
    ASSERT_NE(before, nullptr);
    AddSlave(master, 8);
    view.ShowNode(master);
    EXPECT_EQ(view.Groups().value(0), before);
    EXPECT_TRUE(Labels(*before).contains(QStringLiteral("已添加从站个数:0"))) << "not rebuilt";
    view.ShowNode(master, true);
    ASSERT_EQ(view.Groups().size(), 1);
    EXPECT_TRUE(Labels(*view.Groups()[0]).contains(QStringLiteral("已添加从站个数:1")));

    view.ShowNode(nullptr);
    EXPECT_TRUE(view.Groups().isEmpty());
    EXPECT_EQ(view.ShownNode(), nullptr);
}

TEST_F(DataView, SlaveShowsItsStatusPaneWithTheMasterStopped) {
    CServerDev* master = AddMaster(0, 0);
    CSlaveDev* slave = AddSlave(master, 7, 0, 0);  // no I/O buffers: the address group only
    view.ShowNode(slave);
    const QList<QGroupBox*> groups = view.Groups();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->title(), QStringLiteral("从站地址: 7"));
    auto* status = groups[0]->findChild<QLabel*>(QStringLiteral("1000"));
    ASSERT_NE(status, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("主站未启动"), 600);
    EXPECT_EQ(groups[0]->findChild<QPushButton*>(QStringLiteral("1001"))->text(),
              QString::fromStdString(GetGlobal().LoadText(61505)));

    // A slave removed while its panel is up is not asked again.
    GetNetwork().DeleteNode(slave);
    QTest::qWait(600);
    EXPECT_TRUE(status->text().isEmpty());
}

}  // namespace

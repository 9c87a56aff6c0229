// The network tree: its items and icons, the refresh throttle, deleting and selecting, the
// context menu it asks for, and the state in words.
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include "panes_support.h"
#include "ui/frame/tree_dev.h"

namespace {

using panes_test::PanesTest;

std::string Name(const CDeviceBase* node) {
    std::string name;
    node->GetName(name);
    return name;
}

class Tree : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        if (HasFatalFailure()) return;
        tree = std::make_unique<CTreeDev>();
        tree->SetClock([this] { return now; });
        tree->resize(300, 400);
    }
    void TearDown() override {
        tree.reset();
        PanesTest::TearDown();
    }

    // Right click at a point of the viewport; returns the sub-menu asked for ("" for none).
    QString RightClick(QPoint pos) {
        QSignalSpy spy(tree.get(), &CTreeDev::contextMenuRequested);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, tree->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(tree->viewport(), &event);
        return spy.size() == 1 ? spy.at(0).at(1).toString() : QString();
    }
    QPoint PointOf(const CDeviceBase* node) const { return tree->visualItemRect(tree->ItemOf(node)).center(); }

    qint64 now = 1'000'000;
    std::unique_ptr<CTreeDev> tree;
};

TEST_F(Tree, RebuildShowsMastersInRegistryOrderWithTheirSlavesAndStateIcons) {
    CServerDev* b = AddMaster(1, 0, 2);
    CServerDev* a = AddMaster(0, 1, 1);
    CSlaveDev* s1 = AddSlave(a, 10, 1, 1, "Alpha");
    CSlaveDev* s2 = AddSlave(a, 11, 1, 1, "Beta");
    tree->Rebuild();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->text(0).toStdString(), Name(a));
    EXPECT_EQ(tree->topLevelItem(1)->text(0).toStdString(), Name(b));
    ASSERT_EQ(tree->topLevelItem(0)->childCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Alpha(10)"));
    EXPECT_EQ(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("Beta(11)"));
    EXPECT_EQ(tree->NodeCount(), 4);
    EXPECT_EQ(tree->IconOf(a), CTreeDev::kIconMasterStopped);
    EXPECT_EQ(tree->IconOf(s1), CTreeDev::kIconSlaveOffline);
    EXPECT_EQ(tree->ItemOf(s2)->data(0, CTreeDev::kIconRole).toInt(), CTreeDev::kIconSlaveOffline);
    EXPECT_EQ(tree->SelectedNode(), nullptr);
    EXPECT_EQ(tree->objectName(), QStringLiteral("2010"));

    // Rebuilding again gives the same tree, not a second copy.
    tree->Rebuild();
    EXPECT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->NodeCount(), 4);
}

TEST_F(Tree, StartedMasterShowsRunningAndItsSlavesOnOrOffLineAfterARefresh) {
    CServerDev* master = AddMaster(0, 0, 0, 0, panes_test::kFakeType);
    CSlaveDev* present = AddSlave(master, 3);
    CSlaveDev* absent = AddSlave(master, 4);
    fake_.SetSlaveStatus(3, 0);
    fake_.SetSlaveStatus(4, 72);
    tree->Rebuild();
    ASSERT_EQ(master->Start(), 1);
    tree->UpdateNodeState(master);
    EXPECT_EQ(tree->IconOf(master), CTreeDev::kIconMasterRunning);
    // The poller marks slaves on line within a few of its 10 ms rounds; the tick shows it.
    QTRY_VERIFY_WITH_TIMEOUT(present->IsRunning() != 0 && !present->StatusText().empty() &&
                                 !absent->StatusText().empty() && absent->StatusText() != "主站未启动",
                             3000);
    tree->RefreshStates(true);
    EXPECT_EQ(tree->IconOf(present), CTreeDev::kIconSlaveOnline);
    EXPECT_EQ(tree->IconOf(absent), CTreeDev::kIconSlaveOffline);

    // The state in words, for tool tips and screen readers.
    EXPECT_EQ(tree->ItemOf(master)->data(0, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("启动"));
    EXPECT_EQ(tree->ItemOf(present)->data(0, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("从站在线"));
    EXPECT_EQ(tree->ItemOf(absent)->data(0, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("从站未连接"));
    EXPECT_TRUE(tree->ItemOf(present)->toolTip(0).startsWith(QStringLiteral("Slave(3)\n")));

    master->Stop();
    tree->UpdateNodeState(master);
    EXPECT_EQ(tree->IconOf(master), CTreeDev::kIconMasterStopped);
    EXPECT_EQ(tree->IconOf(present), CTreeDev::kIconSlaveOffline) << "a stopped master's slaves are off line";
    EXPECT_EQ(tree->ItemOf(master)->data(0, Qt::AccessibleDescriptionRole).toString(), QStringLiteral("停止"));
}

TEST_F(Tree, UnforcedRefreshesAreThrottledAndSkippedWhileHidden) {
    CServerDev* master = AddMaster(0, 0);
    CSlaveDev* slave = AddSlave(master, 3);
    tree->Rebuild();
    tree->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));

    slave->CDeviceBase::Start();  // marks the slave on line
    tree->RefreshStates();
    EXPECT_EQ(tree->IconOf(slave), CTreeDev::kIconSlaveOnline) << "the first refresh runs";

    slave->CDeviceBase::Stop();
    now += 499;
    tree->RefreshStates();
    EXPECT_EQ(tree->IconOf(slave), CTreeDev::kIconSlaveOnline) << "less than 500 ms later: skipped";
    now += 1;
    tree->RefreshStates();
    EXPECT_EQ(tree->IconOf(slave), CTreeDev::kIconSlaveOffline) << "500 ms later: refreshed";

    tree->hide();
    slave->CDeviceBase::Start();
    now += 10'000;
    tree->RefreshStates();
    EXPECT_EQ(tree->IconOf(slave), CTreeDev::kIconSlaveOffline) << "hidden: skipped";
    tree->RefreshStates(true);
    EXPECT_EQ(tree->IconOf(slave), CTreeDev::kIconSlaveOnline) << "forced: refreshed even hidden";
    slave->CDeviceBase::Stop();
}

TEST_F(Tree, DeletingMovesTheSelectionUpOrDown) {
    struct Case {
        const char* name;
        int deleteWhich;  // 0 the only master, 1 first slave, 2 second slave, 3 first master of two
        int expectSelected;  // -1 none, 0 master A, 1 first slave, 2 master B
    };
    const Case cases[] = {
        {"the only master leaves nothing selected", 0, -1},
        {"a first slave selects its master", 1, 0},
        {"a second slave selects the slave above", 2, 1},
        {"the first master of two selects the next one", 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GetNetwork().ClearNetwork();
        CServerDev* a = AddMaster(0, 0);
        CSlaveDev* s1 = nullptr;
        CSlaveDev* s2 = nullptr;
        CServerDev* b = nullptr;
        if (c.deleteWhich == 1 || c.deleteWhich == 2) {
            s1 = AddSlave(a, 1);
            s2 = AddSlave(a, 2);
        }
        if (c.deleteWhich == 3) b = AddMaster(1, 0);
        tree->Rebuild();
        tree->expandAll();
        CDeviceBase* victim = c.deleteWhich == 1   ? static_cast<CDeviceBase*>(s1)
                              : c.deleteWhich == 2 ? static_cast<CDeviceBase*>(s2)
                                                   : static_cast<CDeviceBase*>(a);
        tree->SelectNode(victim);
        ASSERT_EQ(tree->SelectedNode(), victim);
        QSignalSpy spy(tree.get(), &CTreeDev::nodeSelected);
        ASSERT_TRUE(tree->DeleteNodeItem(victim));
        CDeviceBase* expected = c.expectSelected == 0   ? static_cast<CDeviceBase*>(a)
                                : c.expectSelected == 1 ? static_cast<CDeviceBase*>(s1)
                                : c.expectSelected == 2 ? static_cast<CDeviceBase*>(b)
                                                        : nullptr;
        EXPECT_EQ(tree->SelectedNode(), expected);
        ASSERT_GE(spy.size(), 1);
        EXPECT_EQ(spy.last().at(0).value<CDeviceBase*>(), expected) << "the window hears of the new selection";
        EXPECT_EQ(tree->ItemOf(victim), nullptr);
        EXPECT_FALSE(tree->DeleteNodeItem(victim)) << "a node without an item";
        GetNetwork().DeleteNode(victim);
    }
}

TEST_F(Tree, DeletingAMasterForgetsItsSlavesAndDeleteChildItemsKeepsTheMaster) {
    CServerDev* a = AddMaster(0, 0);
    AddSlave(a, 1);
    AddSlave(a, 2);
    CSlaveDev* s3 = AddSlave(a, 3);
    CServerDev* b = AddMaster(0, 1);
    AddSlave(b, 4);
    tree->Rebuild();
    tree->expandAll();

    tree->SelectNode(s3);
    tree->DeleteChildItems(a);
    EXPECT_EQ(tree->ItemOf(a)->childCount(), 0);
    EXPECT_EQ(tree->NodeCount(), 3);
    EXPECT_EQ(tree->SelectedNode(), a) << "the last slave's item above is the master";
    a->RemoveAllChildren();

    tree->DeleteChildItems(b->GetChild(0));  // not a master: nothing
    EXPECT_EQ(tree->NodeCount(), 3);

    ASSERT_TRUE(tree->DeleteNodeItem(b));
    EXPECT_EQ(tree->NodeCount(), 1) << "a master's slaves leave the map with it";
    EXPECT_EQ(tree->SelectedNode(), a);
}

TEST_F(Tree, RightClickSelectsTheItemAndAsksForTheMatchingMenu) {
    CServerDev* master = AddMaster(0, 0);
    CSlaveDev* slave = AddSlave(master, 6);
    tree->Rebuild();
    tree->expandAll();
    tree->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tree.get()));

    EXPECT_EQ(RightClick(PointOf(slave)), QStringLiteral("Slave"));
    EXPECT_EQ(tree->SelectedNode(), slave);
    EXPECT_EQ(RightClick(PointOf(master)), QStringLiteral("Net"));
    EXPECT_EQ(tree->SelectedNode(), master);
    EXPECT_EQ(RightClick(QPoint(150, 380)), QStringLiteral("Net")) << "empty space";
    EXPECT_EQ(tree->SelectedNode(), master) << "empty space keeps the selection";

    // The menu key asks for the selected node's menu, wherever the pointer is.
    tree->SelectNode(slave);
    QSignalSpy spy(tree.get(), &CTreeDev::contextMenuRequested);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(150, 380),
                          tree->viewport()->mapToGlobal(QPoint(150, 380)));
    QApplication::sendEvent(tree->viewport(), &key);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("Slave"));
    EXPECT_EQ(spy.at(0).at(0).toPoint(), tree->viewport()->mapToGlobal(PointOf(slave)));
    EXPECT_EQ(tree->SelectedNode(), slave);
}

TEST_F(Tree, SelectionSignalsOnlyChangesAndNodeTextFollowsTheModel) {
    CServerDev* master = AddMaster(0, 0);
    CSlaveDev* slave = AddSlave(master, 6, 1, 1, "Old");
    tree->Rebuild();
    QSignalSpy spy(tree.get(), &CTreeDev::nodeSelected);
    tree->SelectNode(slave);
    tree->SelectNode(slave);
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy.at(0).at(0).value<CDeviceBase*>(), slave);
    tree->SelectNode(nullptr);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy.at(1).at(0).value<CDeviceBase*>(), nullptr);

    slave->MutableConfig().name = "New";
    tree->UpdateNodeText(slave);
    EXPECT_EQ(tree->ItemOf(slave)->text(0), QStringLiteral("New(6)"));
    EXPECT_TRUE(tree->ItemOf(slave)->toolTip(0).startsWith(QStringLiteral("New(6)\n")));

    tree->ExpandToNode(slave);
    EXPECT_TRUE(tree->ItemOf(master)->isExpanded());

    // A node inserted later goes under its master's item.
    CSlaveDev* later = AddSlave(master, 7);
    tree->InsertNode(later);
    EXPECT_EQ(tree->ItemOf(later)->parent(), tree->ItemOf(master));
    EXPECT_EQ(tree->ItemOf(master)->childCount(), 2);
}

TEST(TreeIcons, EveryStateHasAnIconDrawnForTheProgram) {
    for (int index = CTreeDev::kIconMasterRunning; index <= CTreeDev::kIconSlaveOffline; ++index) {
        const QIcon icon = CTreeDev::IconForIndex(index);
        ASSERT_FALSE(icon.isNull()) << index;
        const QImage image = icon.pixmap(QSize(32, 32)).toImage();
        EXPECT_FALSE(image.isNull()) << index;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        EXPECT_GT(opaque, 100) << "icon " << index << " draws something at 200 %";
    }
    EXPECT_TRUE(CTreeDev::IconForIndex(0).isNull());
}

}  // namespace

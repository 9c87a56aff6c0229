// Finding an adapter and opening its pipes.
#include <gtest/gtest.h>

#include "fake_fixture.h"
#include "pipe_set.h"
#include "tamsen_exception.h"

namespace tamsen::testing {
namespace {

using Op = FakeDriver::Op;

class PipeSetTest : public FakeAdapterTest {
protected:
    std::vector<std::pair<int, Op>> PipeEvents(const std::string& device) const {
        std::vector<std::pair<int, Op>> events;
        for (const auto& t : fake_->Transfers()) {
            if (t.device == device && (t.op == Op::Open || t.op == Op::Close) && t.ok)
                events.emplace_back(t.pipe, t.op);
        }
        return events;
    }
};

TEST_F(PipeSetTest, OpensEightPipesInOrderAndLogsEach) {
    {
        PipeSet pipes(*fake_, 1);
        EXPECT_EQ(PipeEvents("fake/dev1"), (std::vector<std::pair<int, Op>>{{1, Op::Open},
                                                                            {0, Op::Open},
                                                                            {3, Op::Open},
                                                                            {2, Op::Open},
                                                                            {7, Op::Open},
                                                                            {6, Op::Open},
                                                                            {9, Op::Open},
                                                                            {8, Op::Open}}));
        EXPECT_EQ(Log(),
                  "tamsen.dll : INFO : hPipeCmd=0x00000100\n"
                  "tamsen.dll : INFO : hPipeAck=0x00000101\n"
                  "tamsen.dll : INFO : hPipeCmdEx=0x00000102\n"
                  "tamsen.dll : INFO : hPipeAckEx=0x00000103\n"
                  "tamsen.dll : INFO : hPipeEmCmd=0x00000104\n"
                  "tamsen.dll : INFO : hPipeEmAck=0x00000105\n"
                  "tamsen.dll : INFO : hPipeEmCmdEx=0x00000106\n"
                  "tamsen.dll : INFO : hPipeEmAckEx=0x00000107\n");
        EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
        // No sharing: the open pipes cannot be opened a second time.
        EXPECT_THROW(PipeSet again(*fake_, 1), TamsenException);
    }
    EXPECT_TRUE(fake_->OpenPipes("fake/dev1").empty());
}

TEST_F(PipeSetTest, PipeFileNames) {
    PipeSet pipes(*fake_, 0);
    std::vector<std::string> names;
    for (const auto& t : fake_->Transfers()) {
        if (t.op == Op::Open) names.push_back(t.device + "/PIPE" + (t.pipe < 10 ? "0" : "") + std::to_string(t.pipe));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"fake/dev0/PIPE01", "fake/dev0/PIPE00", "fake/dev0/PIPE03",
                                               "fake/dev0/PIPE02", "fake/dev0/PIPE07", "fake/dev0/PIPE06",
                                               "fake/dev0/PIPE09", "fake/dev0/PIPE08"}));
}

TEST_F(PipeSetTest, NoAdapterAtTheIndexIs44) {
    try {
        PipeSet pipes(*fake_, 2);
        FAIL() << "opened a third adapter";
    } catch (const TamsenException& e) {
        EXPECT_STREQ(e.what(), "No such device");
        EXPECT_EQ(e.Code(), 44u);
    }
    EXPECT_TRUE(fake_->Transfers().empty());
}

TEST_F(PipeSetTest, RefusedPipeClosesTheOpenedOnesInReverseOrder) {
    fake_->RefuseOpen("fake/dev0", 7);
    try {
        PipeSet pipes(*fake_, 0);
        FAIL() << "opened despite a refused pipe";
    } catch (const TamsenException& e) {
        EXPECT_STREQ(e.what(), "One or more pipes can't be opened");
        EXPECT_EQ(e.Code(), 57u);
    }
    EXPECT_EQ(PipeEvents("fake/dev0"), (std::vector<std::pair<int, Op>>{{1, Op::Open},
                                                                        {0, Op::Open},
                                                                        {3, Op::Open},
                                                                        {2, Op::Open},
                                                                        {2, Op::Close},
                                                                        {3, Op::Close},
                                                                        {0, Op::Close},
                                                                        {1, Op::Close}}));
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    // Through the API: 57, and the adapter stays closed.
    EXPECT_EQ(VARDA_Open(101, 0, 0), 57u);
    EXPECT_NE(Log().find(" - VARDA_Open(): One or more pipes can't be opened\n"), std::string::npos) << Log();
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    VARDA_BOARD_INFO info;
    EXPECT_EQ(VARDA_ReadBoardInfo(101, 0, &info), VARDA_ERR_NOT_OPEN);
}

TEST_F(PipeSetTest, OverlongDevicePathIsAFailedCheck) {
    const std::string longPath = "fake/" + std::string(255, 'x');  // 260 characters
    fake_->AddDevice(longPath);
    try {
        PipeSet pipes(*fake_, 2);
        FAIL() << "opened an adapter with an overlong path";
    } catch (const TamsenException& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("tamsen_lib_priv.h(", 0), 0u) << text;
        EXPECT_NE(text.find("): Assertion failed (e == 0)"), std::string::npos) << text;
        EXPECT_EQ(e.Code(), 57u);
    }
    EXPECT_TRUE(fake_->OpenPipes(longPath).empty());
    // 259 characters fit, but the pipe names no longer do: no pipe opens.
    fake_->AddDevice("fake/" + std::string(254, 'y'));
    EXPECT_THROW(PipeSet pipes(*fake_, 3), TamsenException);
}

}  // namespace
}  // namespace tamsen::testing

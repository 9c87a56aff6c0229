// The console session: a send whose report runs a nested loop never sends again from inside it.
#include "monitor/console_session.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Reports as the window does: each report box runs a loop that delivers a timer tick.
class NestingReports : public monitor::IConsoleReports {
public:
    void ReportApiError(int32_t, std::string_view context) override {
        texts.emplace_back(context);
        if (tick) tick();
    }
    void ReportExplicitError(int32_t, std::string_view context) override {
        texts.emplace_back(context);
        if (tick) tick();
    }
    std::vector<std::string> texts;
    std::function<void()> tick;
};

TEST(ConsoleSessionTest, TicksDuringASendOrItsReportsAreSkippedNeverNested) {
    struct Case {
        bool timed;
        int retries;
        int requests;  // calls of the master API
        int reports;
    } cases[] = {{false, 3, 1, 1}, {true, 0, 1, 2}, {true, 2, 3, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "timed " << c.timed << " retries " << c.retries);
        int requests = 0;
        monitor::ConsoleApi api;
        api.emRequest = [&requests](uint32_t, uint32_t, uint32_t, uint32_t, std::span<const uint8_t>,
                                    std::span<uint8_t>, uint32_t&, uint32_t) -> uint32_t {
            ++requests;
            return 77;  // the slave does not answer
        };
        NestingReports reports;
        monitor::ConsoleSession session(api, reports);
        const monitor::ExplicitRequest request{0x0E, 1, 1, {1}};
        int nestedSends = 0;
        reports.tick = [&] {
            if (session.Send(5, request, 100, c.timed, c.retries)) ++nestedSends;
        };
        const auto outcome = session.Send(5, request, 100, c.timed, c.retries);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_FALSE(outcome->ok);
        EXPECT_EQ(requests, c.requests);
        EXPECT_EQ(static_cast<int>(reports.texts.size()), c.reports);
        EXPECT_EQ(nestedSends, 0);
        EXPECT_EQ(session.SkippedSends(), c.reports);
        EXPECT_FALSE(session.Sending());
        // Free again once the send has returned.
        reports.tick = nullptr;
        EXPECT_TRUE(session.Send(5, request, 100, false, 0).has_value());
    }
}

}  // namespace

// The widget tests run inside one QApplication on the offscreen platform.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Qt's checks (QVERIFY, QCOMPARE, QTRY_...) used inside the tests only return from the test
// body when they fail; GoogleTest does not see them. Each test fails here when one did.
class QtCheckListener : public ::testing::EmptyTestEventListener {
public:
    void OnTestEnd(const ::testing::TestInfo& info) override {
        if (!QTest::currentTestFailed() || reported_) return;
        reported_ = true;
        std::fprintf(stderr, "A Qt check failed in %s.%s (or a test before it)\n", info.test_suite_name(), info.name());
    }
    bool Reported() const { return reported_; }

private:
    bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    auto* listener = new QtCheckListener;  // owned by GoogleTest's listener list
    ::testing::UnitTest::GetInstance()->listeners().Append(listener);
    const int result = RUN_ALL_TESTS();
    return listener->Reported() ? 1 : result;
}

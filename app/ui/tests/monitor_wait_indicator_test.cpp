// The start command's wait indicator: its text from template 20046 in the current language, the
// bar stepping every 50 ms and wrapping at 100, and nothing left running after End().
#include <QProgressBar>
#include <QTest>

#include "panes_support.h"
#include "ui/frame/wait_indicator.h"

namespace {

using panes_test::PanesTest;

class WaitIndicator : public PanesTest {};

TEST_F(WaitIndicator, ShowsTheTemplateTextAndAnimatesUntilEnded) {
    CWaitIndicator indicator(QStringLiteral("fallback"));
    auto* bar = indicator.findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    indicator.Begin();
    EXPECT_TRUE(indicator.isVisible());
    EXPECT_EQ(indicator.labelText(), QStringLiteral("正在启动主站并扫描从站，请等待……"));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() >= 13, 1000);
    bar->setValue(99);
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() < 99, 500);
    EXPECT_LT(bar->value(), 5) << "back to 0 after reaching 100";
    indicator.End();
    EXPECT_FALSE(indicator.isVisible());
    const int stopped = bar->value();
    QTest::qWait(150);
    EXPECT_EQ(bar->value(), stopped);
    EXPECT_FALSE(indicator.isVisible());
}

TEST_F(WaitIndicator, EnglishText) {
    const int english = panes_test::EnglishLanguage();
    if (english < 0) GTEST_SKIP() << "no English language file";
    const int chinese = GetGlobal().CurrentLanguage();
    ASSERT_EQ(GetGlobal().SelectLanguage(english), 1);
    CWaitIndicator indicator(QStringLiteral("fallback"));
    indicator.Begin();
    const QString text = indicator.labelText();
    indicator.End();
    ASSERT_EQ(GetGlobal().SelectLanguage(chinese), 1);
    EXPECT_EQ(text, QStringLiteral("Starting the master and scanning the slaves, please wait..."));
}

}  // namespace

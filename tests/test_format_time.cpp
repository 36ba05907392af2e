#include <gtest/gtest.h>

#include "app/form1.h"
#include "player/format_time.h"

using vintrel::Form1;
using vintrel::VbError;

TEST(FormatTime, WritesHoursMinutesSecondsAsNumberText) {
  const struct {
    int32_t seconds;
    const char* text;
  } cases[] = {
      {0, " 0 : 0 : 0"},      {1, " 0 : 0 : 1"},
      {59, " 0 : 0 : 59"},    {60, " 0 : 1 : 0"},
      {3599, " 0 : 59 : 59"}, {3600, " 1 : 0 : 0"},
      {3661, " 1 : 1 : 1"},   {36000, " 10 : 0 : 0"},
      {90061, " 25 : 1 : 1"}, {117964799, " 32767 : 59 : 59"},
  };
  for (const auto& c : cases) EXPECT_EQ(Form1::FormatTime(c.seconds), c.text) << c.seconds;
}

TEST(FormatTime, HoursBeyondSixteenBitsAreAnOverflow) {
  for (int32_t seconds : {117964800, 117968399, INT32_MAX, INT32_MIN}) {
    try {
      const QString text = Form1::FormatTime(seconds);
      ADD_FAILURE() << seconds << " gave " << text.toStdString();
    } catch (const VbError& e) {
      EXPECT_EQ(e.number(), vintrel::kErrOverflow) << seconds;
    }
  }
}

TEST(NumberText, BlankBeforeNonNegativeMinusBeforeNegative) {
  EXPECT_EQ(vintrel::NumberText(0), " 0");
  EXPECT_EQ(vintrel::NumberText(12), " 12");
  EXPECT_EQ(vintrel::NumberText(-3), "-3");
  EXPECT_EQ(vintrel::NumberText(2147483647), " 2147483647");
}

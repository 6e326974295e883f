#include "platform/Dates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/Toolbox.h"
#include "platform/headless/HeadlessBackend.h"

namespace {

// A virtual clock that moves one millisecond each time it is read, as a real clock
// moves while a program spins on it; sleeps are recorded.
class SpinningClock : public Headless::HeadlessBackend {
public:
  std::uint32_t TickCount() override { return HeadlessBackend::TickCount() + spun++; }
  void Delay(std::uint32_t ms) override {
    delays.push_back(ms);
    HeadlessBackend::Delay(ms);
  }
  std::uint32_t spun = 0;
  std::vector<std::uint32_t> delays;
};

class DatesTest : public ::testing::Test {
protected:
  void SetUp() override {
    platform.SetDateTime({2024, 1, 15, 9, 30, 0, 0, 1});
    Toolbox::InstallBackend(&platform);
  }
  void TearDown() override { Toolbox::InstallBackend(nullptr); }

  SpinningClock platform;
};

std::string Named(Dates::TimeValue t, bool withTime = false, bool withMs = false) {
  char text[25] = {};
  Dates::DateToTextNamed(t, text, withTime, withMs);
  return text;
}

std::string Numeric(Dates::TimeValue t, bool withTime = false, bool withMs = false) {
  char text[25] = {};
  Dates::DateToText(t, text, withTime, withMs);
  return text;
}

std::string Time(Dates::TimeValue t) {
  char text[13] = {};
  Dates::TimeToText(t, text);
  return text;
}

TEST_F(DatesTest, ValueZeroIsTheFirstOf1990) {
  EXPECT_EQ(Named(0.0), "01-Jan-1990");
  EXPECT_EQ(Numeric(0.0), "1990/01/01");
  EXPECT_EQ(Numeric(0.0, true, true), "1990/01/01 00:00:00.000");
  EXPECT_EQ(Named(-1.0, true), "31-Dec-1989 23:59:59");
}

TEST_F(DatesTest, ShortTextsAreFilledWithAsterisks) {
  char date[24];
  Dates::DateToText(0.0, date, true, true);
  EXPECT_EQ(std::string(date, sizeof date), std::string(24, '*'));
  Dates::DateToTextNamed(0.0, date, false, false);
  EXPECT_EQ(std::string(date, sizeof date), std::string(24, '*'));
  char time[12];
  Dates::TimeToText(0.0, time);
  EXPECT_EQ(std::string(time, sizeof time), std::string(12, '*'));
}

TEST_F(DatesTest, MillisecondsRoundHalfAwayButNeverCarry) {
  EXPECT_EQ(Time(3600 + 60 + 1.0625), "01:01:01.063");
  EXPECT_EQ(Time(59.9996), "00:00:59.999");
  EXPECT_EQ(Time(86400.0 + 45296.25), "12:34:56.250");
  EXPECT_EQ(Dates::TimeOfDay(-1.0), 86399.0);
}

TEST_F(DatesTest, TextToDateKeepsTheFraction) {
  const Dates::TimeValue t = Dates::TextToDate("17-May-2006 13:45:10.25");
  EXPECT_EQ(t - std::floor(t), 0.25);
  EXPECT_EQ(Named(t, true, true), "17-May-2006 13:45:10.250");
  EXPECT_EQ(Numeric(t, true), "2006/05/17 13:45:10");
}

TEST_F(DatesTest, BothStylesAndSeparatorsReadAlike) {
  const Dates::TimeValue t = Dates::TextToDate("17-May-2006 13:45:10");
  EXPECT_NE(t, 0.0);
  EXPECT_EQ(Dates::TextToDate("2006/05/17 13:45:10"), t);
  EXPECT_EQ(Dates::TextToDate("2006-05-17-13-45-10"), t);
  EXPECT_EQ(Dates::TextToDate("17-may-2006 13:45:10"), t);
  EXPECT_EQ(Dates::TextToDate("2006/05/17"), t - (13 * 3600 + 45 * 60 + 10));
}

TEST_F(DatesTest, EveryMonthNameReadsBack) {
  for (const char* month :
       {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}) {
    const std::string text = std::string("09-") + month + "-2011";
    EXPECT_EQ(Named(Dates::TextToDate(text)), text);
  }
}

TEST_F(DatesTest, UnreadableTextsAndDatesOutsideTheCalendarSecondsGiveZero) {
  for (const char* text : {"", "abc", "17-May", "17-Xyz-2006", "2006/13/01", "2006/02/30",
                           "2006/05/17 24:00:00", "1903/12/31", "2040/02/06 06:28:16"}) {
    EXPECT_EQ(Dates::TextToDate(base::CharsOf(text)), 0.0) << text;
  }
  // The last calendar second, and a date before 1990 as a negative value.
  EXPECT_EQ(Dates::TextToDate("2040/02/06 06:28:15"), 1580970495.0);
  EXPECT_EQ(Dates::TextToDate("1904/01/01"), -2713996800.0);
  EXPECT_EQ(Numeric(Dates::TextToDate("1969/07/20 20:17:40"), true), "1969/07/20 20:17:40");
}

TEST_F(DatesTest, NowFollowsTheCalendarAndTheTicks) {
  const Dates::TimeValue expected = Dates::TextToDate("2024/01/15 09:30:00");
  const Dates::TimeValue now = Dates::Now();
  EXPECT_GE(now, expected);
  EXPECT_LT(now, expected + 0.01);
  EXPECT_EQ(Dates::Today(), Dates::TextToDate("2024/01/15"));
  EXPECT_NEAR(Dates::Resolution(), 2.01 * 0.001, 1e-6);
}

TEST_F(DatesTest, ShortWaitsSpinAndLongOnesSleepFirst) {
  Dates::Init();
  Dates::TimeValue start = Dates::Now();
  Dates::Wait(0.05);
  EXPECT_GE(Dates::Now() - start, 0.05);
  EXPECT_TRUE(platform.delays.empty());

  start = Dates::Now();
  Dates::Wait(1.0);
  EXPECT_GE(Dates::Now() - start, 1.0);
  EXPECT_EQ(platform.delays, (std::vector<std::uint32_t>{999}));
  EXPECT_LT(platform.spun, 200u); // most of the second went by asleep
}

// The plain headless clock moves only with messages and sleeps.
TEST(FrozenClockTest, WaitsStillEnd) {
  Headless::HeadlessBackend frozen;
  Toolbox::InstallBackend(&frozen);
  Dates::Wait(0.02);
  Dates::Wait(0.2);
  EXPECT_GT(Dates::Resolution(), 0.0);
  Toolbox::InstallBackend(nullptr);
}

} // namespace

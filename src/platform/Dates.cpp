#include "platform/Dates.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/NumberIn.h"
#include "base/Strings.h"
#include "platform/Toolbox.h"

namespace Dates {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr std::int64_t kDaySeconds = 86400;
// The seconds from 1904-01-01 to 1990-01-01 (31412 days).
constexpr std::int64_t kSeconds1904To1990 = 2713996800;
constexpr std::int64_t kLastCalendarSecond = 0xFFFFFFFF;
constexpr double kTicksPerSecond = 1000.0;
// Waits of this length or more sleep first.
constexpr double kSleepFrom = 0.1;
constexpr double kResolutionStep = 0.0005;
constexpr double kResolutionFactor = 2.01;
// A platform clock that has not moved after this long (a test's virtual clock) is
// taken to advance in whole ticks.
constexpr std::chrono::milliseconds kResolutionPatience{20};

constexpr std::size_t kTimeHigh = 12;

constexpr const char* kMonthNames[12] = {"-Jan-", "-Feb-", "-Mar-", "-Apr-", "-May-", "-Jun-",
                                         "-Jul-", "-Aug-", "-Sep-", "-Oct-", "-Nov-", "-Dec-"};

struct State {
  bool initialised = false;
  double origin = 0.0; // the time value at tick 0
  double resolution = 0.001;
};

State state;

struct Civil {
  std::int64_t year = 0;
  int month = 0;
  int day = 0;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

Civil CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  Civil c;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yoe + era * 400 + (c.month <= 2 ? 1 : 0);
  return c;
}

constexpr std::int64_t kDays1990 = DaysFromCivil(1990, 1, 1);

bool LeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(std::int64_t y, int m) {
  constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

struct Fields {
  std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The time value of calendar fields; false when they name no moment of the calendar
// seconds.
bool FieldsToValue(const Fields& f, double& value) {
  if (f.year < 1904 || f.year > 2040 || f.month < 1 || f.month > 12 || f.day < 1 ||
      f.day > DaysInMonth(f.year, static_cast<int>(f.month)) || f.hour > 23 || f.minute > 59 ||
      f.second > 59)
    return false;
  const std::int64_t days =
      DaysFromCivil(f.year, static_cast<int>(f.month), static_cast<int>(f.day)) - kDays1990;
  const std::int64_t seconds = days * kDaySeconds + f.hour * 3600 + f.minute * 60 + f.second;
  const std::int64_t calendar = seconds + kSeconds1904To1990;
  if (calendar < 0 || calendar > kLastCalendarSecond) return false;
  value = static_cast<double>(seconds);
  return true;
}

// The date of a time value; false when the value is not a number.
bool DateOf(double t, Civil& date) {
  if (!std::isfinite(t) || std::fabs(t) > 1e15) return false;
  date = CivilFromDays(kDays1990 + static_cast<std::int64_t>(std::floor(t / kSecondsPerDay)));
  return true;
}

void Fill(VarChars text, char c) {
  for (std::size_t i = 0; i <= text.high; ++i) text[i] = c;
}

void PutDigits(VarChars text, std::size_t at, std::int64_t value, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// "hh:mm:ss" or "hh:mm:ss.mmm" at position at, terminated; the end position.
std::size_t PutTime(double t, VarChars text, std::size_t at, bool withMilliseconds) {
  const double tod = TimeOfDay(t);
  const double whole = std::floor(tod);
  // Half a millisecond short of the next second stays in this second, so that the
  // fields never carry into the next minute or day.
  const std::int64_t ms = std::min<std::int64_t>(std::llround((tod - whole) * 1000.0), 999);
  const std::int64_t s = static_cast<std::int64_t>(whole);
  PutDigits(text, at, s / 3600, 2);
  text[at + 2] = ':';
  PutDigits(text, at + 3, s / 60 % 60, 2);
  text[at + 5] = ':';
  PutDigits(text, at + 6, s % 60, 2);
  std::size_t end = at + 8;
  if (withMilliseconds) {
    text[end] = '.';
    PutDigits(text, end + 1, ms, 3);
    end += 4;
  }
  text[end] = 0;
  return end;
}

enum class Style { Numeric, Named };

void PutDate(double t, VarChars text, bool withTime, bool withMilliseconds, Style style) {
  Civil date;
  if (text.high < kDateHigh || !DateOf(t, date) || date.year < 0 || date.year > 9999) {
    Fill(text, '*');
    return;
  }
  std::size_t end = 0;
  if (style == Style::Numeric) {
    PutDigits(text, 0, date.year, 4);
    text[4] = '/';
    PutDigits(text, 5, date.month, 2);
    text[7] = '/';
    PutDigits(text, 8, date.day, 2);
    end = 10;
  } else {
    PutDigits(text, 0, date.day, 2);
    for (std::size_t i = 0; i < 5; ++i) text[2 + i] = kMonthNames[date.month - 1][i];
    PutDigits(text, 7, date.year, 4);
    end = 11;
  }
  text[end] = 0;
  if (withTime) {
    text[end] = ' ';
    PutTime(t, text, end + 1, withMilliseconds);
  }
}

// Reads the numbers of a date text: a run of digits, then one separator skipped.
struct Reader {
  Chars text;
  std::size_t length;
  std::size_t pos = 0;

  std::int64_t Number() {
    std::int64_t n = 0;
    while (pos < length && text[pos] >= '0' && text[pos] <= '9') {
      if (n < 100000000) n = n * 10 + (text[pos] - '0');
      ++pos;
    }
    if (pos < length) ++pos;
    return n;
  }
  char Upper(std::size_t at) const { return at < length ? Strings::Cap(text[at]) : char{0}; }
};

std::int64_t MonthFromLetters(char a, char b, char c) {
  switch (a) {
  case 'A':
    return c == 'R' ? 4 : 8;
  case 'D':
    return 12;
  case 'F':
    return 2;
  case 'J':
    if (b == 'A') return 1;
    return c == 'N' ? 6 : 7;
  case 'M':
    return c == 'R' ? 3 : 5;
  case 'N':
    return 11;
  case 'O':
    return 10;
  case 'S':
    return 9;
  default:
    return 0;
  }
}

} // namespace

void Init() {
  if (state.initialised) return;
  state.initialised = true;
  NumberIn::Init();
  Toolbox::DateTime now;
  Toolbox::GetDateTime(now);
  const std::uint32_t tick = Toolbox::TickCount();
  double calendar = 0.0;
  FieldsToValue({now.year, now.month, now.day, now.hour, now.minute, now.second}, calendar);
  state.origin = calendar - tick / kTicksPerSecond;
  const auto hostStart = std::chrono::steady_clock::now();
  const double start = Now();
  double seen = start;
  while (seen - start < kResolutionStep) {
    if (std::chrono::steady_clock::now() - hostStart > kResolutionPatience) {
      seen = start + 1.0 / kTicksPerSecond;
      break;
    }
    seen = Now();
  }
  state.resolution = kResolutionFactor * (seen - start);
}

TimeValue Now() {
  Init();
  return Toolbox::TickCount() / kTicksPerSecond + state.origin;
}

TimeValue Today() {
  const double now = Now();
  return now - TimeOfDay(now);
}

double Resolution() {
  Init();
  return state.resolution;
}

void Wait(double seconds) {
  if (!(seconds > 0.0)) return;
  const double target = Now() + seconds;
  // The host's clock bounds the spin too, so that a platform clock that stands still
  // (a test's virtual clock) cannot hold the program for ever.
  const auto hostEnd =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(std::min(seconds, 1e9));
  if (seconds >= kSleepFrom) {
    const double ms = std::min(seconds * 1000.0 - 1.0,
                               static_cast<double>(std::numeric_limits<std::uint32_t>::max()));
    Toolbox::Delay(static_cast<std::uint32_t>(ms));
  }
  while (Now() < target && std::chrono::steady_clock::now() < hostEnd) {}
}

void WaitAtLeast(double seconds) { Wait(seconds + Resolution()); }

double TimeOfDay(TimeValue t) {
  const double r = t - std::floor(t / kSecondsPerDay) * kSecondsPerDay;
  return (r >= 0.0 && r < kSecondsPerDay) ? r : 0.0;
}

void TimeToText(TimeValue t, VarChars text) {
  if (text.high < kTimeHigh) {
    Fill(text, '*');
    return;
  }
  PutTime(t, text, 0, true);
}

void DateToText(TimeValue t, VarChars text, bool withTime, bool withMilliseconds) {
  PutDate(t, text, withTime, withMilliseconds, Style::Numeric);
}

void DateToTextNamed(TimeValue t, VarChars text, bool withTime, bool withMilliseconds) {
  PutDate(t, text, withTime, withMilliseconds, Style::Named);
}

TimeValue TextToDate(Chars text) {
  Reader r{text, Strings::Length(text)};
  if (r.length < 4) return 0.0;
  Fields f;
  if (text[2] != '-') {
    f.year = r.Number();
    f.month = r.Number();
    f.day = r.Number();
  } else {
    if (r.length < 11) return 0.0;
    f.day = r.Number();
    f.month = MonthFromLetters(r.Upper(r.pos), r.Upper(r.pos + 1), r.Upper(r.pos + 2));
    r.pos = std::min(r.pos + 4, r.length);
    f.year = r.Number();
  }
  f.hour = r.Number();
  f.minute = r.Number();
  f.second = r.Number();
  double fraction = 0.0;
  if (r.pos > 0 && text[r.pos - 1] == '.') {
    std::size_t pos = r.pos - 1;
    double value = 0.0;
    if (NumberIn::ScanReal(text, pos, value) && value >= 0.0 && value < 1.0) fraction = value;
  }
  double value = 0.0;
  return FieldsToValue(f, value) ? value + fraction : 0.0;
}

} // namespace Dates

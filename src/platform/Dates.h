// The clock: time values with millisecond resolution that advance with the platform's
// tick counter, waits that keep the user interface alive, and time values as text in
// two date styles.
//
// A TimeValue counts seconds since 1990-01-01 00:00:00 local time. Calendar dates go
// through the platform's calendar seconds, unsigned 32-bit seconds since 1904-01-01
// 00:00:00 local time: calendar seconds c are the time value c - 2713996800, so the
// dates from 1904 up to 2040-02-06 06:28:15 are representable, those before 1990 as
// negative values. Days are 86400 seconds of the local calendar, so that a value
// modulo 86400 is its time of day.
#pragma once

#include <cstddef>

#include "base/Chars.h"

namespace Dates {

using base::Chars;
using base::VarChars;
using TimeValue = double;

// The highest index a text of DateToText and DateToTextNamed needs.
inline constexpr std::size_t kDateHigh = 24;

// The module body: the time origin from the calendar time of the moment, and the
// clock's resolution measured.
void Init();

// The current time value.
TimeValue Now();
// Today at 00:00:00.
TimeValue Today();
// The clock's resolution in seconds.
double Resolution();
// Returns when Now has advanced by seconds; waits of 0.1 s or more sleep while the
// platform's messages are taken and dispatched, then spin for the rest.
void Wait(double seconds);
// Wait of seconds + Resolution.
void WaitAtLeast(double seconds);
// The value modulo 86400, in 0 .. 86400.
double TimeOfDay(TimeValue t);
// "hh:mm:ss.mmm"; a text with HIGH < 12 is filled with asterisks.
void TimeToText(TimeValue t, VarChars text);
// "yyyy/mm/dd", then optionally " hh:mm:ss" with ".mmm"; a text with HIGH < 24 (or a
// year that four digits cannot hold) is filled with asterisks.
void DateToText(TimeValue t, VarChars text, bool withTime, bool withMilliseconds);
// "dd-Mon-yyyy", then optionally the time as DateToText writes it.
void DateToTextNamed(TimeValue t, VarChars text, bool withTime, bool withMilliseconds);
// The time value of a text in either style (2006/05/17 13:45:10.25, 2006-05-17-13-45-10,
// 17-May-2006 13:45:10.25); 0 when the text cannot be read or its date is outside the
// calendar seconds.
TimeValue TextToDate(Chars text);

} // namespace Dates

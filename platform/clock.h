// clock.h: the millisecond timer and the local date and time.
#pragma once

#include <cstdint>

namespace tsv {

// Milliseconds since the program started, from a clock that never goes backwards.
uint32_t TickCount();

struct LocalDateTime {
  int year = 0, month = 0, day = 0;  // month 1..12, day 1..31
  int hour = 0, minute = 0, second = 0;
  int weekday = 0;  // 0 Sunday .. 6 Saturday
};
LocalDateTime GetLocalDateTime();

}  // namespace tsv

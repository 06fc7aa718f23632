// clock.cpp: steady_clock for the timer, localtime_r for the calendar.
#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace tsv {
namespace {
const std::chrono::steady_clock::time_point kStart = std::chrono::steady_clock::now();
}

uint32_t TickCount() {
  auto elapsed = std::chrono::steady_clock::now() - kStart;
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

LocalDateTime GetLocalDateTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     local.tm_wday};
}

}  // namespace tsv

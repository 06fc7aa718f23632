// tablet.h: the tablet layer: whether a pen tablet is present and, while its pen is near, the
// pen's pressure, tilt and cursor type. SDL2 offers no pen API, so on this platform no driver
// ever reports a tablet and the query answers "no tablet"; the brushes then take their pressure
// from the depth setting and their tilt from the manual tilt vector. A future pen driver (and the
// tests, standing in for one) hands its packets to ReportTabletPacket.
#pragma once

#include <cstdint>

namespace tsv {

// Cursor types a tablet reports for the pen: the tip, and the second end (the eraser).
inline constexpr uint16_t kTabletCursorPen = 1;
inline constexpr uint16_t kTabletCursorEraser = 3;

struct TabletReport {
  bool present = false;      // a tablet driver is running
  bool inProximity = false;  // the pen is near enough to report the values below
  float pressure = 1.0f;     // 0..1, tip pressure
  int16_t tiltA = 0;         // tilt of the pen across and along the tablet (0, 0: upright)
  int16_t tiltB = 0;
  uint16_t cursorType = 0;   // kTabletCursorPen, kTabletCursorEraser, 0 when none
};

// The tablet's state, as the last packet left it. Starts (and on this platform stays) absent.
extern TabletReport tabletState;

// The latest state of the tablet: without a driver, no tablet.
TabletReport QueryTablet();

// A packet from a pen driver: replaces the state QueryTablet reports. The pressure is held in
// 0..1 (anything else, NaN included, counts as no pressure).
void ReportTabletPacket(const TabletReport& report);

// No tablet again (shutdown, tests).
void ResetTablet();

// True when a tablet is present and its pen is in proximity: only then do its values count.
[[nodiscard]] inline bool PenInProximity(const TabletReport& report) {
  return report.present && report.inProximity;
}

}  // namespace tsv

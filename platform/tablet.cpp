// tablet.cpp: the tablet state, fed by a pen driver when one exists.
#include "platform/tablet.h"

namespace tsv {

TabletReport tabletState;

TabletReport QueryTablet() { return tabletState; }

void ReportTabletPacket(const TabletReport& report) {
  tabletState = report;
  const float p = report.pressure;
  tabletState.pressure = p >= 0.0f ? (p <= 1.0f ? p : 1.0f) : 0.0f;  // NaN fails both tests
}

void ResetTablet() { tabletState = TabletReport{}; }

}  // namespace tsv

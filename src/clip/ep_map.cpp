#include "clip/ep_map.h"

namespace morvex::clip {

EpMap makeEPMap(const std::vector<EntryPoint>& points) {
  EpMap m;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& p = points[i];
    const uint16_t coarsePts = uint16_t((p.pts >> 19) & 0x3FFF);
    const bool newCoarse = m.coarse.empty() || m.coarse.back().ptsEpCoarse != coarsePts ||
                           (m.coarse.back().spnEpCoarse >> 17) != (p.spn >> 17);
    if (newCoarse) m.coarse.push_back({uint32_t(m.fine.size()), coarsePts, p.spn});
    m.fine.push_back({0, uint8_t(p.endPositionOffset & 7), uint16_t((p.pts >> 9) & 0x7FF), p.spn & 0x1FFFF});
  }
  m.fineTableStartAddress = 4 + 8 * uint32_t(m.coarse.size());
  return m;
}

void setSingleEPMap(ClipInfo& c, uint16_t pid, const std::vector<EntryPoint>& points) {
  EpMap m = makeEPMap(points);
  EpMapEntry e;
  e.streamPid = pid;
  e.epStreamType = 1;
  e.numCoarse = uint32_t(m.coarse.size());
  e.numFine = uint32_t(m.fine.size());
  e.mapStartAddress = 2 + 12;  // after the reserved byte, the count and one entry
  c.cpi = Cpi{};
  c.cpi.cpiType = 1;
  c.cpi.length = 2 + 2 + 12 + 4 + 8 * e.numCoarse + 4 * e.numFine;
  c.cpi.epMapEntries.push_back(e);
  c.cpi.maps.push_back(std::move(m));
}

}  // namespace morvex::clip

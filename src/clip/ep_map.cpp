#include "clip/ep_map.h"

namespace morvex::clip {

TEP_map_fosPID makeEPMap(const std::vector<EntryPoint>& points) {
  TEP_map_fosPID m;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& p = points[i];
    const uint16_t coarsePts = uint16_t((p.pts >> 19) & 0x3FFF);
    const bool newCoarse = m.coarse.empty() || m.coarse.back().PTS_EP_coarse != coarsePts ||
                           (m.coarse.back().SPN_EP_coarse >> 17) != (p.spn >> 17);
    if (newCoarse) m.coarse.push_back({uint32_t(m.fine.size()), coarsePts, p.spn});
    m.fine.push_back({0, uint8_t(p.endPositionOffset & 7), uint16_t((p.pts >> 9) & 0x7FF), p.spn & 0x1FFFF});
  }
  m.fine_table_start_address = 4 + 8 * uint32_t(m.coarse.size());
  return m;
}

void setSingleEPMap(TCLPI& c, uint16_t pid, const std::vector<EntryPoint>& points) {
  TEP_map_fosPID m = makeEPMap(points);
  TEP_map_entry e;
  e.stream_PID = pid;
  e.EP_stream_type = 1;
  e.num_coarse = uint32_t(m.coarse.size());
  e.num_fine = uint32_t(m.fine.size());
  e.map_start_address = 2 + 12;  // after the reserved byte, the count and one entry
  c.CPI = TCPI{};
  c.CPI.CPI_type = 1;
  c.CPI.length = 2 + 2 + 12 + 4 + 8 * e.num_coarse + 4 * e.num_fine;
  c.CPI.EP_map.push_back(e);
  c.CPI.maps.push_back(std::move(m));
}

}  // namespace morvex::clip

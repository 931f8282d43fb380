// The demultiplexer's packet loop on arbitrary source packets, in every mode, on the
// PIDs a stream usually carries. The first byte picks the PID and mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ts/demux.h"
#include "core/log.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const uint32_t pids[] = {0x1011, 0x1100, 0x1200, 0x1400};
  const uint32_t pid = pids[data[0] & 3];
  const auto mode = static_cast<ts::DemuxMode>((data[0] >> 2) & 3);
  ++data;
  --size;
  const size_t packets = size / 192;
  uint64_t written = 0;
  core::NullLog log;
  ts::PidDemuxer d(
      pid, mode, [&](const uint8_t*, size_t n) { written += n; return true; }, &log);
  d.feed(data, packets);
  d.flush();
  if (d.packetsSeen() != packets) std::abort();
  // Framed output adds 10 bytes per PES; nothing can grow beyond that.
  if (written > uint64_t(packets) * (184 + 10)) std::abort();
  return 0;
}

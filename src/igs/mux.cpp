#include "igs/mux.h"

#include "core/save.h"
#include "core/stream_coding.h"
#include "igs/writer.h"
#include "ts/packetizer.h"

namespace morvex::igs {

namespace {

constexpr uint16_t kPmtPid = 0x0100;
constexpr uint16_t kPcrPid = 0x1001;
// The stream type the program map gives the menu's stream (PID 0x1400).
constexpr uint8_t kIgCoding = core::codingValue(core::StreamCoding::Ig);

// The program tables, each a whole section; the last four bytes of each are the table's
// CRC_32, constant because the tables never change.
constexpr uint8_t kPat[] = {0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00, 0x00, 0x00, 0x00,
                            0xE0, 0x1F, 0x00, 0x01, 0xE1, 0x00, 0x23, 0x5A, 0xAB, 0x82};
// The menu's entry in the program map carries the registration descriptor ("HDMV") as
// well as the program: a player that finds a 0x91 stream without it may take the PID for
// a private stream of another system and leave it alone.
constexpr uint8_t kPmt[] = {0x02, 0xB0, 0x24, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xF0, 0x01, 0xF0, 0x0C,
                            0x05, 0x04, 'H',  'D',  'M',  'V',  0x88, 0x04, 0x0F, 0xFF, 0xFF, 0xFC,
                            kIgCoding, 0xF4, 0x00, 0xF0, 0x06, 0x05, 0x04, 'H', 'D', 'M', 'V',
                            0xE9, 0x5B, 0x9B, 0xDA};
constexpr uint8_t kSit[] = {0x7F, 0xF0, 0x19, 0xFF, 0xFF, 0xC1, 0x00, 0x00, 0xF0,
                            0x0A, 0x63, 0x08, 0xC1, 0xD4, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0x00, 0x01, 0x80, 0x00, 0x03, 0x00, 0x38, 0x6D};

}  // namespace

core::Bytes packetizeMenu(std::span<const uint8_t> pes, core::Log& log) {
  core::Bytes out;
  out.reserve((pes.size() / 184 + 40) * ts::kSourcePacketSize);
  ts::Packetizer m(out, {kFirstArrivalTime, kArrivalStep, false});
  auto pat = [&m] { m.section(ts::kPatPid, kPat); };
  auto pmt = [&m] { m.section(kPmtPid, kPmt); };
  auto sit = [&m] { m.section(ts::kSitPid, kSit); };
  // Each PCR tells the system clock at its own arrival: zero at the first one, then the
  // time the arrival clock (27 MHz) has run since. Repeating the first value would
  // tell a player that the clock stands still while packets keep arriving.
  uint64_t firstPcrPacket = 0;
  auto pcr = [&m, &firstPcrPacket] {
    if (firstPcrPacket == 0) firstPcrPacket = m.packets() + 1;
    const uint64_t ticks = (m.packets() + 1 - firstPcrPacket) * kArrivalStep;
    m.pcr(kPcrPid, ticks / 300, uint16_t(ticks % 300));
  };
  pat();
  pmt();
  sit();
  pcr();
  size_t pos = 0;
  while (pos + 4 <= pes.size()) {
    if (!(pes[pos] == 0 && pes[pos + 1] == 0 && pes[pos + 2] == 1 && pes[pos + 3] == 0xBD)) {
      pos += 4;
      continue;
    }
    size_t len = pos + 6 <= pes.size() ? size_t((pes[pos + 4] << 8) | pes[pos + 5]) + 6 : 6;
    if (pos + len > pes.size()) {
      log.error("Mux error");
      len = pes.size() - pos;
    }
    const uint8_t* p = pes.data() + pos;
    size_t r = len;
    bool first = true;
    while (r > 0) {
      size_t n = m.payload(kIgPid, p, r, first);
      p += n;
      r -= n;
      if (!first) {
        const uint64_t c = m.packets();
        if (c % 2500 == 0) pcr();
        if (c % 2500 == 2000) {
          pat();
          pmt();
        }
        if (c % 25000 == 2) sit();
      }
      first = false;
    }
    pos += len;
  }
  while (m.packets() % 32 != 0) m.null();
  return out;
}

core::Bytes muxMenu(Menu& menu, core::Log& log) {
  settleMenu(menu, log);
  core::Bytes pes = writeMenu(menu, SaveForm::Pes);
  return packetizeMenu(pes, log);
}

bool muxMenuToFile(Menu& menu, const std::filesystem::path& file, core::Log& log) {
  log.info("Muxing menu...");
  core::Bytes ts = muxMenu(menu, log);
  std::string err;
  if (!core::writeFileAtomic(file, ts, err)) {
    log.error(core::displayPath(file) + ": " + err);
    return false;
  }
  return true;
}

}  // namespace morvex::igs

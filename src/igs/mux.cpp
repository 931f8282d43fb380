#include "igs/mux.h"

#include <iterator>

#include "core/save.h"
#include "core/stream_coding.h"
#include "igs/writer.h"

namespace morvex::igs {

namespace {

// The stream type the program map gives the menu's stream (PID 0x1400).
constexpr uint8_t kIgCoding = core::codingValue(core::StreamCoding::Ig);

// Section bytes after the 4-byte transport header; the last four bytes of each are
// the table's CRC_32, constant because the tables never change.
constexpr uint8_t kPat[] = {0x00, 0x00, 0xB0, 0x11, 0x00, 0x00, 0xC1, 0x00, 0x00, 0x00, 0x00,
                                          0xE0, 0x1F, 0x00, 0x01, 0xE1, 0x00, 0x23, 0x5A, 0xAB, 0x82};
constexpr uint8_t kPmt[] = {0x00, 0x02, 0xB0, 0x1E, 0x00, 0x01, 0xC1, 0x00, 0x00, 0xF0, 0x01, 0xF0,
                                          0x0C, 0x05, 0x04, 'H',  'D',  'M',  'V',  0x88, 0x04, 0x0F, 0xFF, 0xFF,
                                          0xFC, kIgCoding, 0xF4, 0x00, 0xF0, 0x00, 0xF1, 0xF0, 0x88, 0xEB};
constexpr uint8_t kSit[] = {0x00, 0x7F, 0xF0, 0x19, 0xFF, 0xFF, 0xC1, 0x00, 0x00, 0xF0,
                                          0x0A, 0x63, 0x08, 0xC1, 0xD4, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF,
                                          0xFF, 0x00, 0x01, 0x80, 0x00, 0x03, 0x00, 0x38, 0x6D};
constexpr uint8_t kPcr[] = {0x47, 0x10, 0x01, 0x20, 0xB7, 0x10, 0x00, 0x00, 0x00, 0x00, 0x7E, 0x00};

class Muxer {
public:
  core::Bytes out;
  uint64_t count = 0;
  uint32_t arrival = kFirstArrivalTime;
  uint8_t ccPat = 0, ccPmt = 0, ccSit = 0, ccIg = 0;

  // One source packet: the arrival time stamp, then 188 bytes (0xFF where unwritten).
  uint8_t* begin() {
    size_t at = out.size();
    out.resize(at + 192, 0xFF);
    uint8_t* p = out.data() + at;
    p[0] = uint8_t(arrival >> 24);
    p[1] = uint8_t(arrival >> 16);
    p[2] = uint8_t(arrival >> 8);
    p[3] = uint8_t(arrival);
    return p + 4;
  }
  void end() {
    ++count;
    arrival += kArrivalStep;
  }

  template <size_t N>
  void table(uint16_t pid, uint8_t& cc, const uint8_t (&section)[N]) {
    uint8_t* ts = begin();
    ts[0] = 0x47;
    ts[1] = uint8_t(0x40 | (pid >> 8));
    ts[2] = uint8_t(pid & 0xFF);
    ts[3] = uint8_t(0x10 | cc);
    cc = (cc + 1) & 15;
    std::copy(section, section + N, ts + 4);
    end();
  }
  void pat() { table(0x0000, ccPat, kPat); }
  void pmt() { table(0x0100, ccPmt, kPmt); }
  void sit() { table(0x001F, ccSit, kSit); }
  void pcr() {
    uint8_t* ts = begin();
    std::copy(std::begin(kPcr), std::end(kPcr), ts);
    end();
  }
  void null() {
    uint8_t* ts = begin();
    ts[0] = 0x47;
    ts[1] = 0x1F;
    ts[2] = 0xFF;
    ts[3] = 0x10;
    end();
  }
  // One IG transport packet carrying the next bytes of a PES packet; returns the
  // number of bytes it took.
  size_t ig(const uint8_t* data, size_t r, bool start) {
    uint8_t* ts = begin();
    ts[0] = 0x47;
    ts[1] = uint8_t((start ? 0x40 : 0) | (kIgPid >> 8));
    ts[2] = uint8_t(kIgPid & 0xFF);
    size_t n;
    if (r >= 184) {
      ts[3] = uint8_t(0x10 | ccIg);
      n = 184;
      std::copy(data, data + n, ts + 4);
    } else {
      // Adaptation field of 183 - r bytes: a flags byte 0 (when there is room for
      // it) and 0xFF stuffing; the payload fills the end of the packet.
      ts[3] = uint8_t(0x30 | ccIg);
      ts[4] = uint8_t(183 - r);
      if (183 - r >= 1) ts[5] = 0x00;
      n = r;
      std::copy(data, data + n, ts + 188 - n);
    }
    ccIg = (ccIg + 1) & 15;
    end();
    return n;
  }
};

}  // namespace

core::Bytes packetizeMenu(std::span<const uint8_t> pes, core::Log& log) {
  Muxer m;
  m.out.reserve((pes.size() / 184 + 40) * 192);
  m.pat();
  m.pmt();
  m.sit();
  m.pcr();
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
      size_t n = m.ig(p, r, first);
      p += n;
      r -= n;
      if (!first) {
        const uint64_t c = m.count;
        if (c % 2500 == 0) m.pcr();
        if (c % 2500 == 2000) {
          m.pat();
          m.pmt();
        }
        if (c % 25000 == 2) m.sit();
      }
      first = false;
    }
    pos += len;
  }
  while (m.count % 32 != 0) m.null();
  return std::move(m.out);
}

core::Bytes muxMenu(Menu& menu, core::Log& log) {
  core::Bytes pes = writeMenu(menu, SaveForm::Pes, log);
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

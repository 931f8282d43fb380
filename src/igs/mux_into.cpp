#include "igs/mux_into.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>

#include "core/save.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "clip/ep_map.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/stream_edit.h"
#include "igs/writer.h"
#include "ts/packet.h"
#include "ts/packetizer.h"

namespace morvex::igs {

namespace {

constexpr uint8_t kIgStreamType = core::codingValue(core::StreamCoding::Ig);
constexpr uint64_t kStampMask = 0x1FFFFFFFFull;  // 33 bits
constexpr uint32_t kAtcWrap = 1u << 30;

// The decode rate the menu writer assumes: 600 bytes of object data per 9 ticks.
uint64_t decodeTicks(uint64_t bytes) { return bytes * 9 / 600; }

void addStamp(core::ByteWriter& w, uint8_t prefix, uint64_t ts) {
  ts &= kStampMask;
  w.addU8(prefix | uint32_t((ts >> 29) & 0x0E) | 1);
  w.addU16(uint32_t(((ts >> 15) & 0x7FFF) << 1) | 1);
  w.addU16(uint32_t((ts & 0x7FFF) << 1) | 1);
}

// One segment (type, length, body) as a PES packet of private stream 1; composition
// and object segments carry a DTS, palettes and END only a PTS.
MenuPes pesOf(std::span<const uint8_t> segment, uint64_t pts, uint64_t dts) {
  MenuPes p;
  p.segmentType = segment[0];
  const bool withDts = p.segmentType == kSegComposition || p.segmentType == kSegObject;
  p.pts = pts & kStampMask;
  p.dts = (withDts ? dts : pts) & kStampMask;
  core::ByteWriter w;
  w.addU32(0x000001BD);
  w.addU16(uint32_t(segment.size() + (withDts ? 13 : 8)));
  w.addU8(0x84);  // '10', data_alignment_indicator
  w.addU8(withDts ? 0xC0 : 0x80);
  w.addU8(withDts ? 10 : 5);
  addStamp(w, withDts ? 0x30 : 0x20, pts);
  if (withDts) addStamp(w, 0x10, dts);
  w.addBytes(segment);
  p.bytes = w.take();
  return p;
}

// Whole source packets are read and written in blocks of this many.
constexpr size_t kBlockPackets = 6144;

// Estimated STC (90 kHz) of a packet from the last PCR and the arrival clock.
struct StcClock {
  bool known = false;
  uint64_t pcr90k = 0;
  uint32_t pcrAts = 0;
  uint64_t at(uint32_t ats) const {
    const uint32_t d = (ats - pcrAts) & (kAtcWrap - 1);
    return pcr90k + d / 300;
  }
};

// The program number and PMT PID of the first program the PAT names (0 = none).
uint16_t pmtPidOfPat(const uint8_t* tp) {
  if (!ts::payloadUnitStart(tp)) return 0;
  size_t at = ts::kTsHeaderSize + (ts::hasAdaptationField(tp) ? 1 + tp[4] : 0);
  if (at >= ts::kTsPacketSize) return 0;
  at += 1 + tp[at];  // pointer field
  if (at + 8 > ts::kTsPacketSize || tp[at] != 0x00) return 0;
  const size_t len = ((tp[at + 1] & 0x0F) << 8) | tp[at + 2];
  const size_t end = std::min(at + 3 + len - 4, ts::kTsPacketSize);
  for (size_t p = at + 8; p + 4 <= end; p += 4) {
    const uint16_t program = uint16_t((tp[p] << 8) | tp[p + 1]);
    if (program != 0) return uint16_t(((tp[p + 2] & 0x1F) << 8) | tp[p + 3]);
  }
  return 0;
}

// A PMT section with the IG stream on `pid` declared: any entry the PID had is removed,
// an entry of stream type 0x91 with an HDMV registration descriptor appended, and the
// CRC computed afresh. Reports the PCR PID and whether the PID was declared before
// (and with which stream type).
struct PmtEdit {
  bool ok = false;
  std::string error;
  uint16_t pcrPid = 0x1FFF;
  int oldType = -1;
  std::vector<uint8_t> section;
};

PmtEdit rewritePmt(const uint8_t* sec, size_t avail, uint16_t pid) {
  PmtEdit e;
  if (avail < 16 || sec[0] != 0x02) {
    e.error = "program map section not understood";
    return e;
  }
  const size_t len = ((sec[1] & 0x0F) << 8) | sec[2];
  if (3 + len > avail || len < 13) {
    e.error = "program map section spans packets";
    return e;
  }
  e.pcrPid = uint16_t(((sec[8] & 0x1F) << 8) | sec[9]);
  const size_t progInfo = ((sec[10] & 0x0F) << 8) | sec[11];
  const size_t end = 3 + len - 4;
  std::vector<uint8_t> out(sec, sec + 12 + progInfo);
  for (size_t p = 12 + progInfo; p + 5 <= end;) {
    const uint16_t epid = uint16_t(((sec[p + 1] & 0x1F) << 8) | sec[p + 2]);
    const size_t esLen = ((sec[p + 3] & 0x0F) << 8) | sec[p + 4];
    if (p + 5 + esLen > end) break;
    if (epid == pid)
      e.oldType = sec[p];
    else
      out.insert(out.end(), sec + p, sec + p + 5 + esLen);
    p += 5 + esLen;
  }
  // The IG entry: stream type, PID, and the registration descriptor "HDMV".
  const uint8_t entry[] = {kIgStreamType, uint8_t(0xE0 | (pid >> 8)), uint8_t(pid), 0xF0, 6,
                           0x05,          4,                           'H',          'D', 'M', 'V'};
  out.insert(out.end(), std::begin(entry), std::end(entry));
  const size_t newLen = out.size() + 4 - 3;
  out[1] = uint8_t((sec[1] & 0xF0) | ((newLen >> 8) & 0x0F));
  out[2] = uint8_t(newLen);
  const uint32_t crc = psiCrc32(out.data(), out.size());
  for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(crc >> s));
  e.section = std::move(out);
  e.ok = true;
  return e;
}

// A PCR in the packet's adaptation field, as a 90 kHz base.
bool pcrOf(const uint8_t* tp, uint64_t& base) {
  if (!ts::hasAdaptationField(tp) || tp[4] < 7 || !(tp[5] & 0x10)) return false;
  base = (uint64_t(tp[6]) << 25) | (uint64_t(tp[7]) << 17) | (uint64_t(tp[8]) << 9) | (uint64_t(tp[9]) << 1) |
         (tp[10] >> 7);
  return true;
}

}  // namespace

uint32_t psiCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint32_t(data[i]) << 24;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

std::vector<MenuPes> stampedMenuPes(std::span<const uint8_t> file, uint64_t at) {
  std::vector<std::span<const uint8_t>> segs;
  for (size_t p = 0; p + 13 <= file.size();) {
    if (file[p] != 'I' || file[p + 1] != 'G') return {};
    const size_t len = size_t(file[p + 11]) << 8 | file[p + 12];
    if (p + 13 + len > file.size()) return {};
    segs.push_back(file.subspan(p + 10, 3 + len));
    p += 13 + len;
  }
  uint64_t objectBytes = 0;
  for (auto s : segs)
    if (s[0] == kSegObject) objectBytes += s.size() - 3;
  // Presented once every object is decoded, and never at its own decode time.
  const uint64_t shown = at + std::max<uint64_t>(decodeTicks(objectBytes), 1) + 1;
  std::vector<MenuPes> out;
  uint64_t decoded = 0;
  for (auto s : segs) {
    switch (s[0]) {
      case kSegObject: {
        const uint64_t n = s.size() - 3;
        out.push_back(pesOf(s, at + decodeTicks(decoded + n), at + decodeTicks(decoded)));
        decoded += n;
        break;
      }
      case kSegComposition:
        out.push_back(pesOf(s, shown, at));
        break;
      case kSegEnd:
        out.push_back(pesOf(s, shown, shown));
        break;
      default:
        out.push_back(pesOf(s, at, at));
        break;
    }
  }
  return out;
}

std::vector<MenuPes> stampedMenuPes(const Menu& menu, uint64_t at) {
  const core::Bytes file = writeMenu(menu, SaveForm::MenuFile);
  return stampedMenuPes(file, at);
}

uint64_t MuxIntoResult::newPacketNumber(uint64_t sourcePacket) const {
  int64_t d = 0;
  for (const Shift& s : shifts) {
    if (s.at > sourcePacket) break;
    d += s.delta;
  }
  return uint64_t(int64_t(sourcePacket) + d);
}

MuxIntoResult muxMenuInto(const std::vector<MenuPes>& pes, const std::filesystem::path& source,
                          const std::filesystem::path& output, const MuxIntoOptions& opt, core::Log& log,
                          core::Progress* progress) {
  MuxIntoResult r;
  const auto t0 = std::chrono::steady_clock::now();
  auto fail = [&](std::string why) {
    r.ok = false;
    r.error = std::move(why);
    log.error(r.error);
    return r;
  };
  if (pes.empty()) return fail("Mux error: the menu has no segments");
  std::error_code ec;
  if (std::filesystem::exists(output, ec) && core::sameFile(source, output))
    return fail(core::displayPath(output) + ": the output would replace the stream being read");
  std::ifstream in(source, std::ios::binary);
  if (!in) return fail(core::displayPath(source) + ": cannot open");
  const uint64_t total = std::filesystem::file_size(source, ec) / ts::kSourcePacketSize;
  if (progress) progress->setTotal(total);

  // The menu's transport packets, each with the decode time it must arrive before.
  struct Pending {
    std::array<uint8_t, ts::kTsPacketSize> tp;
    uint64_t deadline;
  };
  std::deque<Pending> queue;
  {
    core::Bytes buf;
    ts::Packetizer pk(buf, {0, 0, true});
    for (const MenuPes& p : pes) {
      size_t off = 0;
      bool first = true;
      while (off < p.bytes.size()) {
        buf.clear();
        off += pk.payload(opt.pid, p.bytes.data() + off, p.bytes.size() - off, first);
        first = false;
        Pending q;
        std::memcpy(q.tp.data(), buf.data() + ts::kExtraHeaderSize, ts::kTsPacketSize);
        q.deadline = p.dts;
        queue.push_back(q);
      }
      if (p.segmentType == kSegComposition && r.compositionPts == 0) r.compositionPts = p.pts;
    }
  }

  core::AtomicFile outFile(output);
  std::string err;
  if (!outFile.open(err)) return fail(core::displayPath(output) + ": " + err);

  uint16_t pmtPid = 0;
  bool pmtSeen = false;
  uint16_t pcrPid = 0x1FFF;
  StcClock clock;
  uint32_t lastAts = 0;
  std::vector<uint8_t> lastPmtIn, lastPmtOut;
  std::vector<uint8_t> inBuf(kBlockPackets * ts::kSourcePacketSize);
  std::vector<uint8_t> outBuf;
  outBuf.reserve(inBuf.size() * 2);
  auto shift = [&r](uint64_t at, int64_t d) {
    if (!r.shifts.empty() && r.shifts.back().at == at)
      r.shifts.back().delta += d;
    else
      r.shifts.push_back({at, d});
  };
  // Source packets are written straight from the input block in runs; a run ends where
  // a menu packet goes in or a packet of an old menu stays out.
  const uint8_t* runStart = nullptr;
  size_t runLen = 0;
  bool writeFailed = false;
  auto flushRun = [&] {
    if (runLen && !writeFailed) {
      if (!outBuf.empty()) {
        writeFailed = !outFile.write(outBuf.data(), outBuf.size(), err);
        r.packetsOut += outBuf.size() / ts::kSourcePacketSize;
        outBuf.clear();
      }
      if (!writeFailed) writeFailed = !outFile.write(runStart, runLen * ts::kSourcePacketSize, err);
      r.packetsOut += runLen;
    }
    runLen = 0;
  };
  auto emitMenuPacket = [&](uint64_t beforeSource) {
    flushRun();
    const Pending& q = queue.front();
    lastAts = (lastAts + 1) & (kAtcWrap - 1);
    const uint8_t h[4] = {uint8_t(lastAts >> 24), uint8_t(lastAts >> 16), uint8_t(lastAts >> 8), uint8_t(lastAts)};
    outBuf.insert(outBuf.end(), h, h + 4);
    outBuf.insert(outBuf.end(), q.tp.begin(), q.tp.end());
    queue.pop_front();
    ++r.inserted;
    shift(beforeSource, 1);
  };

  while (in) {
    in.read(reinterpret_cast<char*>(inBuf.data()), std::streamsize(inBuf.size()));
    const size_t got = size_t(in.gcount());
    if (got % ts::kSourcePacketSize != 0 && !in) {
      outFile.discard();
      return fail(core::displayPath(source) + ": the stream ends inside a source packet");
    }
    const size_t n = got / ts::kSourcePacketSize;
    for (size_t i = 0; i < n; ++i) {
      uint8_t* sp = inBuf.data() + i * ts::kSourcePacketSize;
      const uint8_t* tp = sp + ts::kExtraHeaderSize;
      const uint64_t index = r.packetsIn++;
      if (tp[0] != ts::kSyncByte) {
        outFile.discard();
        return fail(core::displayPath(source) + ": source packet " + std::to_string(index) +
                    " has no sync byte; not a BD AV stream");
      }
      const uint16_t pid = ts::packetPid(tp);
      const uint32_t ats = core::be32(sp) & ts::kArrivalTimeMask;
      // Menu packets whose window has opened go before this packet: one at a time while
      // there is time, all that are due once their decode time is near.
      if (pmtSeen && clock.known) {
        const uint64_t now = clock.at(ats);
        size_t placed = 0;
        while (!queue.empty() && now + opt.lead >= queue.front().deadline) {
          const bool due = now + opt.lead / 4 >= queue.front().deadline;
          if (!due && placed >= 2) break;
          if (now > queue.front().deadline) ++r.late;
          emitMenuPacket(index);
          ++placed;
        }
      }
      if (pid == 0) {
        if (uint16_t p = pmtPidOfPat(tp)) pmtPid = p;
      }
      if (pid == opt.pid) {
        if (!opt.replace) {
          outFile.discard();
          return fail(core::displayPath(source) + ": PID 0x" + core::hexText(opt.pid, 4) +
                      " already carries a stream; --replace replaces it");
        }
        ++r.removed;
        shift(index + 1, -1);
        flushRun();
        continue;
      }
      if (runLen == 0) runStart = sp;
      ++runLen;
      lastAts = ats;
      if (pid == pmtPid && pmtPid != 0 && ts::payloadUnitStart(tp)) {
        uint8_t* otp = sp + ts::kExtraHeaderSize;
        size_t at = ts::kTsHeaderSize + (ts::hasAdaptationField(tp) ? 1 + tp[4] : 0);
        if (at < ts::kTsPacketSize) at += 1 + tp[at];
        if (at >= ts::kTsPacketSize) {
          outFile.discard();
          return fail("program map packet " + std::to_string(index) + " not understood");
        }
        std::vector<uint8_t> sec(tp + at, tp + ts::kTsPacketSize);
        if (sec != lastPmtIn) {
          PmtEdit e = rewritePmt(sec.data(), sec.size(), opt.pid);
          if (!e.ok) {
            outFile.discard();
            return fail(core::displayPath(source) + ": " + e.error);
          }
          if (e.oldType >= 0 && (e.oldType != kIgStreamType || !opt.replace)) {
            outFile.discard();
            return fail(core::displayPath(source) + ": the program map already declares PID 0x" +
                        core::hexText(opt.pid, 4) +
                        (e.oldType == kIgStreamType ? " as an IG stream; --replace replaces it"
                                                    : " for another stream"));
          }
          if (at + e.section.size() > ts::kTsPacketSize) {
            outFile.discard();
            return fail("the program map with the menu's entry does not fit its packet");
          }
          pcrPid = e.pcrPid;
          lastPmtIn = sec;
          lastPmtOut = e.section;
        }
        std::memset(otp + at, 0xFF, ts::kTsPacketSize - at);
        std::memcpy(otp + at, lastPmtOut.data(), lastPmtOut.size());
        ++r.pmtRewritten;
        pmtSeen = true;
      }
      uint64_t base = 0;
      if (pid == pcrPid && pcrOf(tp, base)) {
        clock.known = true;
        clock.pcr90k = base;
        clock.pcrAts = ats;
      }
    }
    flushRun();
    if (writeFailed) {
      outFile.discard();
      return fail(core::displayPath(output) + ": " + err);
    }
    if (progress) {
      progress->setPosition(r.packetsIn);
      if (progress->cancelled()) {
        outFile.discard();
        r.cancelled = true;
        r.error = "Muxing cancelled.";
        log.info(r.error);
        return r;
      }
    }
  }
  if (!pmtSeen) {
    outFile.discard();
    return fail(core::displayPath(source) + ": no program map found; not a BD AV stream");
  }
  // A stream that ends before the menu's time gets the rest at its end; a BD stream
  // is a whole number of aligned units (32 packets), so null packets fill the last one.
  while (!queue.empty()) emitMenuPacket(r.packetsIn);
  r.packetsOut += outBuf.size() / ts::kSourcePacketSize;
  while (r.packetsOut % 32 != 0) {
    lastAts = (lastAts + 1) & (kAtcWrap - 1);
    uint8_t sp[ts::kSourcePacketSize];
    std::memset(sp, 0xFF, sizeof sp);
    sp[0] = uint8_t(lastAts >> 24), sp[1] = uint8_t(lastAts >> 16), sp[2] = uint8_t(lastAts >> 8),
    sp[3] = uint8_t(lastAts);
    sp[4] = ts::kSyncByte, sp[5] = 0x1F, sp[6] = 0xFF, sp[7] = 0x10;
    outBuf.insert(outBuf.end(), sp, sp + sizeof sp);
    ++r.packetsOut;
    ++r.inserted;
  }
  if ((!outBuf.empty() && !outFile.write(outBuf.data(), outBuf.size(), err)) || !outFile.commit(err)) {
    outFile.discard();
    return fail(core::displayPath(output) + ": " + err);
  }
  if (r.late) log.warning(std::to_string(r.late) + " menu packets arrive after their decode time");
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.ok = true;
  return r;
}

void updateClipForMux(clip::ClipInfo& c, const MuxIntoResult& r, uint16_t pid, const std::string& language) {
  c.clipInfo.numberOfSourcePackets = uint32_t(r.packetsOut);
  for (auto& a : c.sequenceInfo.atcSequences) {
    if (a.spnAtcStart) a.spnAtcStart = uint32_t(r.newPacketNumber(a.spnAtcStart));
    for (auto& s : a.stcSequences)
      if (s.spnStcStart) s.spnStcStart = uint32_t(r.newPacketNumber(s.spnStcStart));
  }
  size_t entries = 0;
  for (auto& p : c.programInfo.programSequences) {
    if (p.spnProgramSequenceStart) p.spnProgramSequenceStart = uint32_t(r.newPacketNumber(p.spnProgramSequenceStart));
    std::erase_if(p.streams, [pid](const clip::ClipStream& s) { return s.pid == pid; });
    clip::ClipStream s;
    s.pid = pid;
    s.codingInfoLength = 21;
    s.codingType = kIgStreamType;
    s.igLanguage = language;
    p.streams.push_back(s);
    entries += p.streams.size();
  }
  c.programInfo.length = uint32_t(2 + 8 * c.programInfo.programSequences.size() + 24 * entries);
  // The EP maps: each entry point decoded to its full packet number and PTS (the
  // stored bits), moved, and the maps laid out afresh.
  if (c.cpi.length != 0) {
    uint32_t address = 2 + 12 * uint32_t(c.cpi.epMapEntries.size());
    uint32_t length = 2 + 2 + 12 * uint32_t(c.cpi.epMapEntries.size());
    for (size_t m = 0; m < c.cpi.maps.size() && m < c.cpi.epMapEntries.size(); ++m) {
      const clip::EpMap& old = c.cpi.maps[m];
      std::vector<clip::EntryPoint> points;
      for (size_t k = 0; k < old.coarse.size(); ++k) {
        const size_t from = old.coarse[k].refToEpFineId;
        const size_t to = k + 1 < old.coarse.size() ? old.coarse[k + 1].refToEpFineId : old.fine.size();
        for (size_t f = from; f < to && f < old.fine.size(); ++f) {
          const auto& fe = old.fine[f];
          uint32_t spn = (old.coarse[k].spnEpCoarse & ~0x1FFFFu) | fe.spnEpFine;
          if (spn < old.coarse[k].spnEpCoarse) spn += 0x20000;
          const uint64_t pts = (uint64_t(old.coarse[k].ptsEpCoarse) << 19) | (uint64_t(fe.ptsEpFine) << 9);
          points.push_back({uint32_t(r.newPacketNumber(spn)), pts, fe.iEndPositionOffset});
        }
      }
      clip::EpMap fresh = clip::makeEPMap(points);
      for (size_t f = 0; f < fresh.fine.size() && f < old.fine.size(); ++f)
        fresh.fine[f].isAngleChangePoint = old.fine[f].isAngleChangePoint;
      auto& e = c.cpi.epMapEntries[m];
      e.numCoarse = uint32_t(fresh.coarse.size());
      e.numFine = uint32_t(fresh.fine.size());
      e.mapStartAddress = address;
      const uint32_t size = 4 + 8 * e.numCoarse + 4 * e.numFine;
      address += size;
      length += size;
      c.cpi.maps[m] = std::move(fresh);
    }
    c.cpi.length = length;
  }
  clip::settleClipInfo(c);
}

}  // namespace morvex::igs

namespace morvex::igs {

namespace {

std::filesystem::path discOfStream(const std::filesystem::path& stream) {
  const auto dir = stream.parent_path();
  std::error_code ec;
  if (dir.filename() == "STREAM" && std::filesystem::is_directory(dir.parent_path() / "PLAYLIST", ec))
    return dir.parent_path();
  return {};
}

bool listsIg(const playlist::StreamTable& stn, uint16_t pid) {
  for (const auto& s : stn.ig)
    if ((s.entry.type == 1 ? s.entry.mainPID : s.entry.subPID) == pid) return true;
  return false;
}

}  // namespace

ClipMuxPlan planClipMux(const std::filesystem::path& stream, uint16_t pid) {
  ClipMuxPlan plan;
  plan.clipName = stream.stem().string();
  plan.bdmv = discOfStream(stream);
  if (plan.bdmv.empty()) return plan;
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(plan.bdmv / "PLAYLIST", ec))
    if (e.path().extension() == ".mpls") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  uint64_t latestIn = 0, earliestOut = UINT64_MAX;
  for (const auto& f : files) {
    core::NullLog quiet;
    playlist::Playlist m;
    if (!playlist::readPlaylistFile(f, m, quiet).complete()) continue;
    bool uses = false, lacks = false;
    for (const auto& p : m.playList.playItems) {
      if (p.clipName != plan.clipName) continue;
      uses = true;
      if (!listsIg(p.stn, pid)) lacks = true;
      latestIn = std::max<uint64_t>(latestIn, uint64_t(p.inTime) * 2);
      earliestOut = std::min<uint64_t>(earliestOut, uint64_t(p.outTime) * 2);
    }
    if (!uses) continue;
    plan.playlists.push_back(f.filename().string());
    if (lacks) plan.lackingStream.push_back(f.filename().string());
  }
  if (!plan.playlists.empty() && latestIn < earliestOut) plan.at = latestIn;
  return plan;
}

ClipMuxResult muxMenuIntoClip(const Menu& menu, const std::filesystem::path& source,
                              const std::filesystem::path& output, MuxIntoOptions options, std::optional<uint64_t> at,
                              bool addStream, const core::SaveSettings& settings, core::Log& log,
                              core::Progress* progress) {
  ClipMuxResult res;
  const ClipMuxPlan srcPlan = planClipMux(source, options.pid);
  const ClipMuxPlan outPlan0 = planClipMux(output, options.pid);
  clip::ClipInfo clpi;
  bool haveClip = false;
  // The source's clip information; for a stream from outside a disc written over a
  // disc's clip, that clip's (the stream it replaces is the one it describes).
  std::filesystem::path clipFile;
  if (!srcPlan.bdmv.empty()) clipFile = srcPlan.bdmv / "CLIPINF" / (srcPlan.clipName + ".clpi");
  else if (!outPlan0.bdmv.empty()) clipFile = outPlan0.bdmv / "CLIPINF" / (outPlan0.clipName + ".clpi");
  if (!clipFile.empty()) {
    core::NullLog quiet;
    const auto& file = clipFile;
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
      if (!clip::readClipInfoFile(file, clpi, quiet).complete()) {
        res.error = core::displayPath(file) + ": the clip information could not be read whole";
        log.error(res.error);
        return res;
      }
      haveClip = true;
    }
  }
  if (!at) at = srcPlan.bdmv.empty() ? outPlan0.at : srcPlan.at;
  if (!at && haveClip && !clpi.sequenceInfo.atcSequences.empty() &&
      !clpi.sequenceInfo.atcSequences[0].stcSequences.empty())
    at = uint64_t(clpi.sequenceInfo.atcSequences[0].stcSequences[0].presentationStartTime) * 2;
  options.at = at.value_or(0);
  log.info("Muxing menu into " + core::displayPath(source) + "...");
  res.mux = muxMenuInto(stampedMenuPes(menu, options.at), source, output, options, log, progress);
  if (!res.mux.ok) return res;
  std::string language = "eng";
  if (!menu.ics.pages.empty()) {
    // The menu itself names no language; an existing entry of the clip keeps its own.
    for (const auto& p : clpi.programInfo.programSequences)
      for (const auto& s : p.streams)
        if (s.pid == options.pid && !s.igLanguage.empty()) language = s.igLanguage;
  }
  const ClipMuxPlan outPlan = planClipMux(output, options.pid);
  if (haveClip) {
    updateClipForMux(clpi, res.mux, options.pid, language);
    std::error_code ec;
    std::filesystem::path folder = output.parent_path();
    std::string name = outPlan.clipName + ".clpi";
    if (!outPlan.bdmv.empty() && std::filesystem::is_directory(outPlan.bdmv / "CLIPINF", ec))
      folder = outPlan.bdmv / "CLIPINF";
    // Bringing the disc's own clip information in step is an edit of that file in
    // place (it was read above): the saving policy keeps the original first.
    core::allowRewrite(folder / name);
    const core::WriteResult w = clip::saveClipInfo(clpi, folder, name, settings, log);
    if (!w.ok) {
      res.error = "the clip information was not written";
      return res;
    }
    res.clipInfo = folder / name;
  }
  if (addStream && !outPlan.bdmv.empty()) {
    for (const auto& name : outPlan.lackingStream) {
      core::NullLog quiet;
      playlist::Playlist m;
      const auto file = outPlan.bdmv / "PLAYLIST" / name;
      if (!playlist::readPlaylistFile(file, m, quiet).complete()) continue;
      for (unsigned i = 0; i < m.playList.playItems.size(); ++i) {
        auto& p = m.playList.playItems[i];
        if (p.clipName != outPlan.clipName || listsIg(p.stn, options.pid)) continue;
        auto at2 = playlist::insertStream(m, i, playlist::StreamKind::IG, int(p.stn.ig.size()) - 1);
        if (!at2) continue;
        auto& s = m.playList.playItems[i].stn.ig[*at2];
        s.entry.type = 1;
        s.entry.mainPID = options.pid;
        s.attr.codingType = kIgStreamType;
        s.attr.language = language;
      }
      core::allowRewrite(file);
      const core::WriteResult w = playlist::savePlaylist(m, outPlan.bdmv / "PLAYLIST", name, settings, log);
      if (!w.ok) {
        res.error = name + " was not written";
        return res;
      }
      res.playlistsUpdated.push_back(name);
    }
  }
  return res;
}

}  // namespace morvex::igs

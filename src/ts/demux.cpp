#include "ts/demux.h"
#include "core/text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "core/save.h"
#include "ts/packet.h"

namespace morvex::ts {

namespace {
// Reads are 683 packets (about 128 KiB): large enough that the per-read cost vanishes,
// small enough that the chunk is still in the processor's cache when its packets are
// examined right after the copy (a 2 MiB chunk measured about 20% slower from the page
// cache). The buffer is the same for any stream size.
constexpr size_t kChunkPackets = 683;
constexpr size_t kOutBuffer = 1 << 20;
constexpr uint64_t kReportEvery = 32768;
constexpr double kReportInterval = 0.1;  // seconds between two status texts at the least

bool excludedStreamId(uint8_t sid) {
  // program stream map, padding, private stream 2, ECM, EMM, DSMCC, H.222 type E,
  // program stream directory: none of them carries elementary data.
  switch (sid) {
    case 0xBC: case 0xBE: case 0xBF: case 0xF0: case 0xF1: case 0xF2: case 0xF8: case 0xFF:
      return true;
    default:
      return false;
  }
}

std::string hex2(uint8_t b) { return core::hexText(b, 2); }
}  // namespace

DemuxMode chooseDemuxMode(uint32_t pid, bool savePES, bool saveSUP, bool saveIG) {
  uint32_t hi = (pid >> 8) & 0xFF;
  if (hi == 0x12 && saveSUP) return DemuxMode::Subtitle;
  if (savePES) return DemuxMode::Pes;
  if (hi == 0x14 && saveIG) return DemuxMode::Menu;
  return DemuxMode::Elementary;
}

std::string demuxOutputType(uint32_t pid, DemuxMode mode, bool savePES) {
  uint32_t hi = (pid >> 8) & 0xFF;
  std::string t;
  if (pid == 0x1011) t = "vis";
  else if (hi == 0x11) t = "aus";
  else if (hi == 0x12) t = mode == DemuxMode::Subtitle ? "sup" : "pgs";
  else if (hi == 0x14) t = mode == DemuxMode::Menu ? "mnu" : "igs";
  else if (hi == 0x18) t = "txs";
  else if (hi == 0x1A) t = "sas";
  else if (hi == 0x1B) t = "svs";
  if (savePES && mode != DemuxMode::Subtitle) t = "PES." + t;
  return t;
}

std::string demuxOutputName(const std::string& outputFolder, const std::string& clipName, const std::string& pidText,
                            const std::string& typeText, const std::string& detailsText, const std::string& type) {
  std::string folder = outputFolder;
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  std::string d = pidText + "_" + typeText + "_" + detailsText, clean;
  // The details come from the stream's description ("c:48/96, e:192 kHz", "16:9"):
  // anything that cannot stand inside one file name on the usual file systems (a path
  // separator above all, which would send the output into another folder) becomes "_".
  for (char ch : d) {
    if (ch == ',') continue;
    bool bad = ch == ' ' || ch == ':' || ch == '/' || ch == '\\' || ch == '*' || ch == '?' || ch == '"' ||
               ch == '<' || ch == '>' || ch == '|' || static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F;
    clean.push_back(bad ? '_' : ch);
  }
  return folder + clipName + "_PID" + clean + "." + type;
}

uint32_t decodeTimeStamp(const uint8_t* b) {
  return (uint32_t(b[0] & 0x0E) << 29) + (uint32_t(b[1]) << 22) + (uint32_t(b[2] & 0xFE) << 14) +
         (uint32_t(b[3]) << 7) + (uint32_t(b[4] & 0xFE) >> 1);
}

std::string demuxProgressText(uint64_t done, uint64_t total, double elapsed) {
  double remaining = done ? elapsed * double(total) / double(done) - elapsed + 1.0 : 0.0;
  return "Packet: " + std::to_string(done) + "/" + std::to_string(total) + "   Elapsed: " +
         core::Progress::clock(elapsed) + "   Remaining: " + core::Progress::clock(remaining);
}

PidDemuxer::PidDemuxer(uint32_t pid, DemuxMode mode, Sink sink, core::Log* log, const core::Progress* cancel)
    : pid_(pid), mode_(mode), sink_(std::move(sink)), log_(log), cancel_(cancel), buf_(kOutBuffer) {}

PidDemuxer::~PidDemuxer() = default;

void PidDemuxer::out(const uint8_t* p, size_t n) {
  while (n > 0) {
    if (bufLen_ == buf_.size() && !flushBuffer()) return;
    size_t k = std::min(n, buf_.size() - bufLen_);
    std::memcpy(buf_.data() + bufLen_, p, k);
    bufLen_ += k;
    p += k;
    n -= k;
  }
}

// Output of the current PES packet: collected while its length is known, else written.
void PidDemuxer::emit(const uint8_t* p, size_t n) {
  if (holding_) pes_.insert(pes_.end(), p, p + n);
  else out(p, n);
}

void PidDemuxer::dropDamaged(const char* what) {
  if (damaged_++ == 0 && log_)
    log_->info("PID " + core::hexText(pid_, 4) + ": " + what + " at source packet " + std::to_string(seen_ - 1) +
              "; damaged PES packets are dropped up to the next PES start.");
  pes_.clear();
  holding_ = false;
  idle_ = true;
}

bool PidDemuxer::flush() {
  // The stream ended: a PES packet still being collected is written as far as it came.
  if (holding_ && !pes_.empty()) out(pes_.data(), pes_.size());
  if (holding_ && payloadLeft_ > 0) endedInside_ = true;
  pes_.clear();
  holding_ = false;
  return flushBuffer();
}

bool PidDemuxer::flushBuffer() {
  if (bufLen_ == 0 || sinkFailed_) return !sinkFailed_;
  if (!sink_(buf_.data(), bufLen_)) {
    sinkFailed_ = true;
    stop_ = true;
  }
  bufLen_ = 0;
  return !sinkFailed_;
}

bool PidDemuxer::feed(const uint8_t* data, size_t count) {
  for (size_t i = 0; i < count && !stop_; ++i) packet(data + i * kSourcePacketSize);
  return !stop_;
}

// The first payload of a PES packet: it sets the expected length R, and in the framed
// modes decodes the time stamps and writes the 10-byte header before the payload.
void PidDemuxer::startPes(const uint8_t* p, const uint8_t* pl, unsigned size) {
  if (cancel_ && cancel_->cancelled()) {
    cancelled_ = true;
    stop_ = true;
    return;
  }
  if (holding_) {
    // A new PES packet begins while the previous one still misses payload: a packet of
    // it was lost, and what was collected would end in this packet's header.
    if (payloadLeft_ > 0) dropDamaged("a packet is missing inside a PES packet");
    pes_.clear();
    holding_ = false;
  }
  idle_ = false;
  skipping_ = false;
  sawStart_ = true;
  R_ = uint16_t((pl[4] << 8) | pl[5]);
  // A length of 0 (video PES packets longer than 65535 bytes) means the packet lasts
  // until the next PES start on this PID instead of counting R down through zero.
  unbounded_ = R_ == 0;
  headerLeft_ = 0;
  excluded_ = excludedStreamId(pl[3]);
  if (excluded_) return;
  if (size < 9) {
    // Not even the fixed header fits: the header length is unknown, so the packet
    // cannot be split into header and payload; it is dropped whole.
    excluded_ = true;
    return;
  }
  const unsigned H = pl[8];
  const bool framed = mode_ == DemuxMode::Subtitle || mode_ == DemuxMode::Menu;
  if (framed && (pl[7] & 0xC0) && size >= 14) {
    pts_ = decodeTimeStamp(pl + 9) - base_;
    dts_ = ((pl[7] & 0xC0) == 0xC0 && size >= 19) ? decodeTimeStamp(pl + 14) - base_ : 0;
    if (log_) {
      uint8_t seg = 9 + H < size ? pl[9 + H] : 0;
      log_->info(core::hexText(pts_, 8) + ", " + core::hexText(dts_, 8) + " : " + core::clock90k(pts_) + ", " + core::clock90k(dts_) + "   " +
                hex2(seg) + "   " + hex2(p[0]) + hex2(p[1]) + hex2(p[2]) + hex2(p[3]));
    }
  }
  unsigned N = 0;
  if (9 + H <= size) {
    N = size - 9 - H;
  } else {
    // The header continues in the next packet of this PID; its rest is skipped there.
    headerLeft_ = 9 + H - size;
  }
  R_ = uint16_t(R_ - N);
  if (!unbounded_) {
    holding_ = true;
    payloadLeft_ = int32_t((pl[4] << 8) | pl[5]) - 3 - int32_t(H) - int32_t(N);
  }
  if (framed) {
    const char* tag = mode_ == DemuxMode::Subtitle ? "PG" : "IG";
    uint8_t h[10] = {uint8_t(tag[0]), uint8_t(tag[1]), uint8_t(pts_ >> 24), uint8_t(pts_ >> 16), uint8_t(pts_ >> 8),
                     uint8_t(pts_), uint8_t(dts_ >> 24), uint8_t(dts_ >> 16), uint8_t(dts_ >> 8), uint8_t(dts_)};
    emit(h, 10);
  }
  if (N) emit(pl + 9 + H, N);
  if (holding_ && payloadLeft_ <= 0 && headerLeft_ == 0) commitPes();
}

void PidDemuxer::packet(const uint8_t* p) {
  ++seen_;
  const uint8_t* tp = p + kExtraHeaderSize;  // the transport packet
  if (tp[0] != kSyncByte) {
    // Lost sync: this packet is skipped and the next 192-byte boundary is tried, so one
    // damaged packet costs one packet, not the rest of a read.
    if (lostSync_++ == 0 && log_)
      log_->info("Lost sync at source packet " + std::to_string(seen_ - 1) + "; skipping packets without a sync byte.");
    return;
  }
  const uint32_t pid = packetPid(tp);
  if (pid >= kNullPid) return;
  const bool hasAdaptation = hasAdaptationField(tp);
  if (hasAdaptation && tp[4] > 183) {
    if (pid == pid_) ++pidPackets_;
    return;  // no usable payload
  }
  const unsigned size = hasAdaptation ? 183u - tp[4] : 184u;
  const uint8_t* pl = p + (kSourcePacketSize - size);

  if (mode_ == DemuxMode::Subtitle && !baseFound_ && pid == 0x1011 && size >= 14 && pl[0] == 0 && pl[1] == 0 &&
      pl[2] == 1 && (pl[7] & 0xC0)) {
    base_ = decodeTimeStamp(pl + 9);
    baseFound_ = true;
  }
  if (pid != pid_) return;
  ++pidPackets_;
  if (mode_ == DemuxMode::Pes) {
    out(pl, size);
    return;
  }
  if (!hasPayload(tp)) return;
  const bool startCode = size >= 6 && pl[0] == 0 && pl[1] == 0 && pl[2] == 1 && pl[3] > 0xB0;
  // R counts the PES length minus the payload bytes written, so after the last packet
  // of a PES it still holds 3 + H; below 184 a start code therefore begins the next
  // PES packet, while one met with R >= 184 is payload. A PES of unbounded length ends
  // only at the next packet that starts a payload unit with a start code.
  // A start code in a packet that starts a payload unit always begins a PES packet:
  // when the previous one still expects payload, a packet was lost in between.
  const bool unitStart = startCode && payloadUnitStart(tp);
  const bool isStart = unbounded_ ? unitStart : ((R_ < 184 && startCode) || unitStart);
  if (isStart) {
    startPes(p, pl, size);
    return;
  }
  if (idle_) {
    // Payload with no PES packet to belong to: the packet that started it was lost (or
    // the PES packet before it is already complete). Skipped up to the next start.
    if (sawStart_ && !skipping_) dropDamaged("payload without a PES start");
    skipping_ = true;
    return;
  }
  if (unbounded_ || R_ > 0 || headerLeft_ > 0) {
    const uint8_t* q = pl;
    unsigned n = size;
    if (headerLeft_) {
      unsigned k = std::min(headerLeft_, n);
      q += k;
      n -= k;
      headerLeft_ -= k;
    }
    if (!excluded_ && n) emit(q, n);
    R_ = uint16_t(R_ - n);
    if (holding_) {
      payloadLeft_ -= int32_t(n);
      if (payloadLeft_ <= 0 && headerLeft_ == 0) commitPes();
    }
  }
}

// The held PES packet got all its payload: it goes to the output, and the next payload
// of the PID must start a new PES packet.
void PidDemuxer::commitPes() {
  if (!pes_.empty()) out(pes_.data(), pes_.size());
  pes_.clear();
  holding_ = false;
  idle_ = true;
}

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The read loop shared by the file and the memory forms: whole source packets of the
// source through the demultiplexer into `sink`. `res.error` is set on a read or sink
// failure (`sinkError` names the output side).
// One PID's part of a run: its demultiplexer settings, where its output goes and how
// a failed write is described.
struct LoopTarget {
  uint32_t pid;
  DemuxMode mode;
  PidDemuxer::Sink sink;
  std::function<std::string()> sinkError;
};

// Reads the stream once and hands every chunk to each PID's demultiplexer in turn, so
// extracting several PIDs costs one read of the file. `res` gets one result per target.
void demuxLoopMany(const std::filesystem::path& source, const std::vector<LoopTarget>& targets, core::Log& log,
                   core::Progress* progress, std::vector<DemuxResult>& res) {
  res.assign(targets.size(), DemuxResult{});
  core::Progress localProgress;
  core::Progress* prog = progress ? progress : &localProgress;
  // Only a regular file is read: a FIFO or a device has no end to plan by.
  uint64_t size = 0;
  std::string openError;
  const int fd = core::openInputFile(source, UINT64_MAX, size, openError);
  FilePtr in(fd < 0 ? nullptr : ::fdopen(fd, "rb"));
  if (!in) {
    if (fd >= 0) ::close(fd);
    const std::string e = core::displayPath(source) + ": " + openError;
    for (auto& r : res) r.error = e;
    return;
  }
  std::setvbuf(in.get(), nullptr, _IONBF, 0);

  const uint64_t total = size / kSourcePacketSize;
  const uint64_t trailing = size % kSourcePacketSize;
  bool cancelledBefore = prog->cancelled();
  prog->start(total);
  if (cancelledBefore) prog->cancel();
  if (trailing)
    log.info("Ignoring " + std::to_string(trailing) + " bytes after the last whole source packet.");

  std::vector<std::unique_ptr<PidDemuxer>> dms;
  for (const auto& t : targets) dms.push_back(std::make_unique<PidDemuxer>(t.pid, t.mode, t.sink, &log, prog));
  std::vector<uint8_t> chunk(kChunkPackets * kSourcePacketSize);
  uint64_t done = 0, nextReport = kReportEvery;
  double lastReport = -1;
  bool readFailed = false, stopped = false;
  while (done < total && !stopped) {
    size_t want = size_t(std::min<uint64_t>(kChunkPackets, total - done)) * kSourcePacketSize;
    size_t got = std::fread(chunk.data(), 1, want, in.get());
    size_t packets = got / kSourcePacketSize;
    for (auto& dm : dms)
      if (!dm->feed(chunk.data(), packets)) stopped = true;
    if (stopped) break;
    done += packets;
    prog->setPosition(done);
    if (done >= nextReport) {
      // A stream read from the cache passes a mark every few milliseconds; a text that
      // is replaced before anyone can read it only keeps the window busy redrawing its
      // status line, so marks closer than a tenth of a second to the last shown one pass.
      const double now = prog->elapsedSeconds();
      if (lastReport < 0 || now - lastReport >= kReportInterval) {
        log.status(core::StatusPanel::Main, demuxProgressText(done, total, now));
        lastReport = now;
      }
      while (nextReport <= done) nextReport += kReportEvery;
    }
    if (got < want) {
      readFailed = true;  // the file shrank or the read failed
      break;
    }
    if (prog->cancelled()) break;
  }
  for (size_t i = 0; i < dms.size(); ++i) {
    auto& dm = *dms[i];
    auto& r = res[i];
    dm.flush();
    r.trailingBytes = trailing;
    r.cancelled = dm.cancelled() || (prog->cancelled() && done < total);
    r.packetsSeen = dm.packetsSeen();
    r.pidPackets = dm.pidPackets();
    r.lostSync = dm.lostSync();
    r.damagedPes = dm.damagedPes();
    r.endedInsidePes = dm.endedInsidePes();
    r.seconds = prog->elapsedSeconds();
    if (dm.sinkFailed()) {
      r.error = targets[i].sinkError();
      continue;
    }
    if (readFailed) {
      r.error = core::displayPath(source) + ": read error after " + std::to_string(done) + " packets";
      continue;
    }
    r.ok = true;
  }
}

void demuxLoop(const std::filesystem::path& source, uint32_t pid, DemuxMode mode, core::Log& log,
               core::Progress* progress, const PidDemuxer::Sink& sink, const std::function<std::string()>& sinkError,
               DemuxResult& res) {
  std::vector<DemuxResult> all;
  demuxLoopMany(source, {LoopTarget{pid, mode, sink, sinkError}}, log, progress, all);
  res = all.front();
}
}  // namespace

std::string DemuxResult::damageText() const {
  std::string text;
  auto add = [&text](uint64_t n, const char* one, const char* many) {
    if (!n) return;
    if (!text.empty()) text += ", ";
    text += std::to_string(n) + (n == 1 ? one : many);
  };
  add(lostSync, " packet without sync", " packets without sync");
  add(damagedPes, " damaged PES packet dropped", " damaged PES packets dropped");
  if (endedInsidePes) text += std::string(text.empty() ? "" : ", ") + "the last PES packet is cut short";
  return text;
}

// "<stream>: the stream carries no packets of PID 0x1FFE".
static std::string absentPidText(const std::filesystem::path& source, uint32_t pid) {
  return core::displayPath(source) + ": the stream carries no packets of PID " + core::hexText(pid, 4);
}

DemuxResult demuxStream(const std::filesystem::path& source, const std::filesystem::path& output, uint32_t pid,
                  DemuxMode mode, core::Log& log, core::Progress* progress, bool writeDamaged) {
  DemuxResult res;
  // Written beside the output and renamed over it at the end: an existing output keeps
  // its content until the new one is complete, and a failed or cancelled run leaves no
  // part of a file under the output's name.
  if (core::sameFile(source, output)) {
    res.error = core::displayPath(output) + ": the output file is the stream being read";
    return res;
  }
  core::AtomicFile file(output);
  std::string err;
  if (!file.open(err)) {
    res.error = core::displayPath(output) + ": " + err;
    return res;
  }
  demuxLoop(
      source, pid, mode, log, progress,
      [&file, &err](const uint8_t* b, size_t n) { return file.write(b, n, err); },
      [&] { return core::displayPath(output) + ": " + err; }, res);
  if (!res.ok || res.cancelled || (!writeDamaged && res.damaged())) {
    file.discard();
    return res;
  }
  // A PID the stream does not carry gives no file at all, not an empty one.
  if (res.pidPackets == 0) {
    file.discard();
    res.ok = false;
    res.error = absentPidText(source, pid);
    return res;
  }
  if (!file.commit(err)) {
    res.ok = false;
    res.error = core::displayPath(output) + ": " + err;
    return res;
  }
  res.outputCreated = true;
  return res;
}

DemuxResult demuxToMemory(const std::filesystem::path& source, uint32_t pid, DemuxMode mode, core::Bytes& out,
                          size_t limit, core::Log& log, core::Progress* progress) {
  DemuxResult res;
  out.clear();
  demuxLoop(
      source, pid, mode, log, progress,
      [&out, limit](const uint8_t* b, size_t n) {
        if (n > limit - std::min(limit, out.size())) return false;
        out.insert(out.end(), b, b + n);
        return true;
      },
      [&] {
        return core::displayPath(source) + ": PID " + core::hexText(pid, 4) + " holds more than " +
               std::to_string(limit >> 20) + " MiB";
      },
      res);
  if (!res.ok) out.clear();
  return res;
}

std::vector<DemuxResult> demuxPids(const std::filesystem::path& source, const std::vector<DemuxTarget>& targets,
                                   core::Log& log, core::Progress* progress, bool writeDamaged) {
  std::vector<DemuxResult> res(targets.size());
  if (targets.empty()) return res;
  auto refuseAll = [&](const std::string& e) {
    for (auto& r : res) r.error = e;
    return res;
  };
  for (size_t i = 0; i < targets.size(); ++i) {
    if (core::sameFile(source, targets[i].output))
      return refuseAll(core::displayPath(targets[i].output) + ": the output file is the stream being read");
    for (size_t k = 0; k < i; ++k) {
      if (targets[k].pid == targets[i].pid) return refuseAll("PID " + core::hexText(targets[i].pid, 4) + " is given twice");
      if (targets[k].output.lexically_normal() == targets[i].output.lexically_normal())
        return refuseAll(core::displayPath(targets[i].output) + ": two PIDs would be written to this file");
    }
  }
  std::vector<std::unique_ptr<core::AtomicFile>> files;
  std::vector<std::string> errs(targets.size());
  std::vector<LoopTarget> loop;
  for (size_t i = 0; i < targets.size(); ++i) {
    files.push_back(std::make_unique<core::AtomicFile>(targets[i].output));
    if (!files.back()->open(errs[i])) return refuseAll(core::displayPath(targets[i].output) + ": " + errs[i]);
  }
  std::vector<core::Bytes> kept(targets.size());
  for (size_t i = 0; i < targets.size(); ++i)
    loop.push_back({targets[i].pid, targets[i].mode,
                    [f = files[i].get(), e = &errs[i], keep = targets[i].check ? &kept[i] : nullptr](
                        const uint8_t* b, size_t n) {
                      if (keep) keep->insert(keep->end(), b, b + n);
                      return f->write(b, n, *e);
                    },
                    [out = targets[i].output, e = &errs[i]] { return core::displayPath(out) + ": " + *e; }});
  demuxLoopMany(source, loop, log, progress, res);
  // All outputs or none: a failed or cancelled run leaves every existing output as it was.
  const bool allOk = std::all_of(res.begin(), res.end(), [writeDamaged](const DemuxResult& r) {
    return r.ok && !r.cancelled && (writeDamaged || !r.damaged());
  });
  if (!allOk) {
    for (auto& f : files) f->discard();
    return res;
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    std::string err;
    if (res[i].pidPackets == 0) {
      files[i]->discard();
      res[i].ok = false;
      res[i].error = absentPidText(source, targets[i].pid);
      continue;
    }
    if (targets[i].check) {
      std::string refusal = targets[i].check(kept[i]);
      if (!refusal.empty()) {
        files[i]->discard();
        res[i].ok = false;
        res[i].refused = true;
        res[i].error = std::move(refusal);
        continue;
      }
    }
    if (!files[i]->commit(err)) {
      res[i].ok = false;
      res[i].error = core::displayPath(targets[i].output) + ": " + err;
      continue;
    }
    res[i].outputCreated = true;
  }
  return res;
}

DemuxResult savePid(const std::filesystem::path& source, const std::string& outputName, uint32_t pid, DemuxMode mode,
                    core::Log& log, core::Progress* progress, bool writeDamaged) {
  log.info("");
  log.stage("Saving " + outputName + " ...");
  DemuxResult r = demuxStream(source, outputName, pid, mode, log, progress, writeDamaged);
  if (!r.ok) {
    log.error(r.error);
    return r;
  }
  if (r.cancelled) {
    log.info("Saving cancelled.");
  } else if (!r.outputCreated) {
    log.statusReady();
    log.info("Nothing saved: the stream is damaged (" + r.damageText() + ").");
  } else {
    log.statusReady();
    log.info(std::to_string(r.pidPackets) + " source packets saved. (" + core::Progress::clock(r.seconds) + ")");
  }
  return r;
}

}  // namespace morvex::ts

#pragma once
// Demultiplexing one PID out of a BD transport stream (.m2ts).
//
// A BD stream is a sequence of 192-byte source packets: a 4-byte prefix (the arrival
// time stamp) and a 188-byte MPEG-2 transport packet (sync byte 0x47, PID, adaptation
// field, payload). The payloads of one PID carry PES packets; a PES packet starts with
// 00 00 01, the stream id, a 16-bit length and a header with PTS/DTS.
//
// Four outputs: raw PES (every payload unchanged), elementary (the PES payloads only),
// and two framed forms where each PES payload is preceded by a 10-byte header "PG" or
// "IG", PTS and DTS (32-bit): subtitles relative to the first video PTS, menus absolute.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/log.h"
#include "core/progress.h"

namespace morvex::ts {

enum class DemuxMode { Elementary, Pes, Subtitle, Menu };

// The mode the "Save PID format" options choose for a PID: subtitles for a PG PID
// (0x12xx) with "Save SUP if PG stream" on, even with "Save PES" on; menu for an IG PID
// (0x14xx) with "Save MNU if IG stream" on and "Save PES" off; raw PES with "Save PES";
// elementary otherwise.
DemuxMode chooseDemuxMode(uint32_t pid, bool savePES, bool saveSUP, bool saveIG);

// Output file type by PID and mode: "vis", "aus", "pgs"/"sup", "igs"/"mnu", "txs", "sas",
// "svs" or empty; "PES." in front with "Save PES" on (not for subtitles).
std::string demuxOutputType(uint32_t pid, DemuxMode mode, bool savePES);

// Output name: folder (with a separator appended when missing; empty = relative) + clip
// name + "_PID" + the row's PID, type and details joined by "_" (" ", ":", "/", "\\",
// "*", "?", '"', "<", ">", "|" and control characters become "_", "," is removed) +
// "." + type, so the details never add a folder to the name.
std::string demuxOutputName(const std::string& outputFolder, const std::string& clipName, const std::string& pidText,
                            const std::string& typeText, const std::string& detailsText, const std::string& type);

// 32-bit value of a 5-byte PTS/DTS field (the top bit of the 33-bit stamp is lost).
uint32_t decodeTimeStamp(const uint8_t* b);

// The status text shown every 32768 packets.
std::string demuxProgressText(uint64_t done, uint64_t total, double elapsedSeconds);

// The packet loop: feed whole source packets in order; output bytes are handed to the
// sink in blocks. Memory use is constant: nothing is kept but the current PES state (a
// PES packet of known length, at most 64 KiB, is held until it is complete, so that one
// which lost a packet can be dropped whole) and an output buffer.
class PidDemuxer {
public:
  using Sink = std::function<bool(const uint8_t*, size_t)>;  // false = write failed

  PidDemuxer(uint32_t pid, DemuxMode mode, Sink sink, core::Log* log = nullptr,
             const core::Progress* cancel = nullptr);
  ~PidDemuxer();

  // Processes `count` source packets at `data` (192 bytes each). Returns false when a
  // cancel request stopped the run at a PES start or the sink failed.
  bool feed(const uint8_t* data, size_t count);
  // Hands the buffered output (with a PES packet still being collected) to the sink;
  // false when the sink failed. Called once the stream ends.
  bool flush();

  uint64_t packetsSeen() const { return seen_; }
  uint64_t pidPackets() const { return pidPackets_; }
  uint64_t lostSync() const { return lostSync_; }
  uint64_t damagedPes() const { return damaged_; }
  // The stream ended inside a PES packet of the PID (written as far as it came).
  bool endedInsidePes() const { return endedInside_; }
  bool cancelled() const { return cancelled_; }
  bool sinkFailed() const { return sinkFailed_; }

private:
  void packet(const uint8_t* p);
  void out(const uint8_t* p, size_t n);
  void emit(const uint8_t* p, size_t n);
  bool flushBuffer();
  void dropDamaged(const char* what);
  void commitPes();
  void startPes(const uint8_t* p, const uint8_t* pl, unsigned size);

  uint32_t pid_;
  DemuxMode mode_;
  Sink sink_;
  core::Log* log_;
  const core::Progress* cancel_;
  std::vector<uint8_t> buf_;
  size_t bufLen_ = 0;
  uint64_t seen_ = 0, pidPackets_ = 0, lostSync_ = 0;
  bool cancelled_ = false, sinkFailed_ = false, stop_ = false;
  // PES state of the selected PID.
  uint16_t R_ = 0;             // bytes still expected, counted as described in the .cpp
  bool unbounded_ = false;     // the current PES packet has length 0
  bool excluded_ = false;      // the current PES packet's stream id is not written
  unsigned headerLeft_ = 0;    // PES header bytes that continue in the next packet
  // A PES packet of known length is collected whole before it is written, so one that
  // lost a packet can be dropped instead of running into the next one's header.
  bool holding_ = false;       // the current PES packet is being collected in pes_
  bool idle_ = true;           // no PES packet in progress: wait for the next start
  bool sawStart_ = false;      // a PES start was seen (payload before it is not damage)
  bool skipping_ = false;      // payload skipped since the last start was reported
  int32_t payloadLeft_ = 0;    // payload bytes the current held PES packet still expects
  std::vector<uint8_t> pes_;
  uint64_t damaged_ = 0;
  bool endedInside_ = false;
  bool baseFound_ = false;
  uint32_t base_ = 0, pts_ = 0, dts_ = 0;
};

struct DemuxResult {
  bool ok = false;              // false: open/create/read/write failed (see error)
  bool cancelled = false;
  uint64_t pidPackets = 0;      // source packets seen with the selected PID
  uint64_t packetsSeen = 0;
  uint64_t lostSync = 0;        // packets skipped for a missing sync byte
  uint64_t trailingBytes = 0;   // bytes after the last whole source packet (ignored)
  double seconds = 0;
  uint64_t damagedPes = 0;      // PES packets dropped because packets of them were lost
  bool endedInsidePes = false;  // the stream ended inside a PES packet of the PID
  bool outputCreated = false;   // the complete output file was put in place
  bool refused = false;         // the target's check refused the PID's data (see DemuxTarget)
  std::string error;
  // The stream was not read whole: packets without a sync byte, PES packets dropped
  // for lost packets, or a PES packet cut by the end of the stream. Bytes after the
  // last whole source packet alone are no loss: no packet of the PID is in them.
  bool damaged() const { return lostSync || damagedPes || endedInsidePes; }
  // What was lost, for a message: "1 packet without sync, 2 damaged PES packets".
  std::string damageText() const;
};

// Demultiplexes `pid` of `source` into `output`, written beside it and renamed over it
// when complete (a failed or cancelled run leaves an existing output as it was and no
// new file); `output` naming the source itself, by any path, is refused. Progress gets
// position/total in packets and is polled for cancel after every read and at every PES
// start of the PID; every 32768 packets, at most ten times a second, the status line
// shows "Packet: ...".
// With `writeDamaged` false a damaged stream (see DemuxResult::damaged) leaves no
// output either: the run is ok, and outputCreated stays false.
DemuxResult demuxStream(const std::filesystem::path& source, const std::filesystem::path& output, uint32_t pid,
                  DemuxMode mode, core::Log& log, core::Progress* progress = nullptr, bool writeDamaged = true);

// Several PIDs in one read of the stream, each into its own output (written beside it
// and renamed when the whole run is complete). A PID given twice, two PIDs with one
// output, or an output naming the source is refused before anything is read; a failed
// or cancelled run puts no output in place, and neither does a damaged stream unless
// `writeDamaged` says so. A PID the stream does not carry gets no output (its result
// is not ok and names the PID); the others are written. A target with a check has its
// data kept in memory as well (for small streams such as menus) and handed to the check
// before its output is put in place: a non-empty answer leaves that target without an
// output, its result not ok, `refused` set and the answer as its error. One result per
// target, in order.
struct DemuxTarget {
  uint32_t pid = 0;
  DemuxMode mode = DemuxMode::Elementary;
  std::filesystem::path output;
  std::function<std::string(const core::Bytes&)> check;
};
std::vector<DemuxResult> demuxPids(const std::filesystem::path& source, const std::vector<DemuxTarget>& targets,
                                   core::Log& log, core::Progress* progress = nullptr, bool writeDamaged = true);

// The same into memory, failing once the output would exceed `limit` bytes.
DemuxResult demuxToMemory(const std::filesystem::path& source, uint32_t pid, DemuxMode mode, core::Bytes& out,
                          size_t limit, core::Log& log, core::Progress* progress = nullptr);

// "Save PID": logs "", "Saving <name> ...", runs Demux and logs "Saving cancelled." or
// "<n> source packets saved. (<elapsed>)". Returns the result.
DemuxResult savePid(const std::filesystem::path& source, const std::string& outputName, uint32_t pid, DemuxMode mode,
                    core::Log& log, core::Progress* progress = nullptr, bool writeDamaged = true);

}  // namespace morvex::ts

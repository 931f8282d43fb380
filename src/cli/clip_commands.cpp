// Clip information files for "dump" and "resave", and "demux": one PID of a stream
// file written out as elementary stream, raw PES, subtitle (.sup) or menu (.mnu) file.
#include <iostream>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "clip/clpi.h"
#include "clip/clpi_text.h"
#include "igs/extract.h"
#include "igs/reader.h"
#include "ts/demux.h"
#include "disc/finder.h"
#include "disc/disc_load.h"
#include "core/save.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace morvex::cli {

namespace {

// The stream file of a clip information file that sits in a disc folder
// (BDMV/CLIPINF/n.clpi -> BDMV/STREAM/n.m2ts), or an empty path.
fs::path streamOf(const fs::path& clpi) {
  fs::path dir = clpi.parent_path();
  if (dir.filename() != "CLIPINF") return {};
  fs::path bdmv = dir.parent_path();
  for (const char* ext : {".m2ts", ".MTS"}) {
    fs::path s = bdmv / "STREAM" / (clpi.stem().string() + ext);
    if (fs::exists(s)) return s;
  }
  return bdmv / "STREAM" / (clpi.stem().string() + ".m2ts");
}

void printGrid(const std::string& title, const std::vector<std::string>& head, const clip::GridRows& rows) {
  std::cout << title << '\n';
  std::cout << "  #";
  for (const auto& h : head) std::cout << '\t' << h;
  std::cout << '\n';
  for (const auto& r : rows) {
    std::cout << "  ";
    for (size_t i = 0; i < r.size(); ++i) std::cout << (i ? "\t" : "") << r[i];
    std::cout << '\n';
  }
}

ordered_json toJson(const clip::ClipInfo& c) {
  ordered_json j;
  j["type_indicator"] = c.typeIndicator;
  j["version"] = c.version;
  j["start_addresses"] = {{"SequenceInfo", c.sequenceInfoStart}, {"ProgramInfo", c.programInfoStart},
                          {"CPI", c.cpiStart},                   {"ClipMark", c.clipMarkStart},
                          {"ExtensionData", c.extensionDataStart}};
  const auto& ci = c.clipInfo;
  ordered_json cij = {{"length", ci.length},
                      {"clip_stream_type", ci.clipStreamType},
                      {"application_type", ci.applicationType},
                      {"is_ATC_delta", ci.isAtcDelta},
                      {"TS_recording_rate", ci.tsRecordingRate},
                      {"number_of_source_packets", ci.numberOfSourcePackets},
                      {"TS_type_info_length", ci.tsTypeInfoLength},
                      {"validity_flags", ci.validityFlags},
                      {"format_identifier", ci.formatIdentifier}};
  cij["ATC_delta_entries"] = ordered_json::array();
  for (const auto& e : ci.atcDeltaEntries)
    cij["ATC_delta_entries"].push_back({{"ATC_delta", e.atcDelta}, {"following_clip", e.followingClip}, {"clip_codec", e.clipCodec}});
  cij["font_files"] = ci.fontFiles;
  j["ClipInfo"] = cij;
  ordered_json seq = ordered_json::array();
  for (const auto& a : c.sequenceInfo.atcSequences) {
    ordered_json aj = {{"SPN_ATC_start", a.spnAtcStart}, {"offset_STC_id", a.offsetStcId}};
    aj["STC_sequences"] = ordered_json::array();
    for (const auto& s : a.stcSequences)
      aj["STC_sequences"].push_back({{"PCR_PID", s.pcrPid},
                                     {"SPN_STC_start", s.spnStcStart},
                                     {"presentation_start_time", s.presentationStartTime},
                                     {"presentation_end_time", s.presentationEndTime}});
    seq.push_back(aj);
  }
  j["SequenceInfo"] = {{"length", c.sequenceInfo.length}, {"ATC_sequences", seq}};
  ordered_json progs = ordered_json::array();
  for (const auto& p : c.programInfo.programSequences) {
    ordered_json pj = {{"SPN_program_sequence_start", p.spnProgramSequenceStart},
                       {"program_map_PID", p.programMapPid}};
    pj["streams"] = ordered_json::array();
    for (const auto& s : p.streams) {
      ordered_json sj = {{"PID", s.pid},
                               {"coding_type", s.codingType},
                               {"coding_type_name", clip::codingTypeName(s.codingType)},
                               {"details", clip::streamDetails(s)},
                               {"video_format", s.videoFormat},
                               {"frame_rate", s.frameRate},
                               {"aspect_ratio", s.aspectRatio},
                               {"audio_presentation_type", s.audioPresentationType},
                               {"sampling_frequency", s.samplingFrequency},
                               {"audio_language", s.audioLanguage},
                               {"PG_language", s.pgLanguage},
                               {"IG_language", s.igLanguage},
                               {"textST_language", s.textStLanguage},
                               {"character_code", s.characterCode}};
      if (core::isCoding(s.codingType, core::StreamCoding::Hevc)) {
        sj["CR_flag"] = s.crFlag;
        sj["dynamic_range_type"] = s.dynamicRangeType;
        sj["dynamic_range_type_name"] = std::string(core::dynamicRangeTypeName(s.dynamicRangeType));
        sj["color_space"] = s.colorSpace;
        sj["color_space_name"] = std::string(core::colorSpaceName(s.colorSpace));
        sj["HDR_plus_flag"] = s.hdrPlusFlag;
      }
      pj["streams"].push_back(sj);
    }
    progs.push_back(pj);
  }
  j["ProgramInfo"] = {{"length", c.programInfo.length}, {"program_sequences", progs}};
  ordered_json maps = ordered_json::array();
  for (size_t i = 0; i < c.cpi.epMapEntries.size(); ++i) {
    const auto& e = c.cpi.epMapEntries[i];
    ordered_json mj = {{"stream_PID", e.streamPid},         {"EP_stream_type", e.epStreamType},
                       {"num_coarse", e.numCoarse},         {"num_fine", e.numFine},
                       {"map_start_address", e.mapStartAddress}};
    if (i < c.cpi.maps.size()) {
      const auto& m = c.cpi.maps[i];
      mj["fine_table_start_address"] = m.fineTableStartAddress;
      ordered_json co = ordered_json::array(), fi = ordered_json::array();
      for (const auto& k : m.coarse) co.push_back({k.refToEpFineId, k.ptsEpCoarse, k.spnEpCoarse});
      for (const auto& f : m.fine)
        fi.push_back({f.isAngleChangePoint, f.iEndPositionOffset, f.ptsEpFine, f.spnEpFine});
      mj["coarse"] = co;
      mj["fine"] = fi;
    }
    maps.push_back(mj);
  }
  j["CPI"] = {{"length", c.cpi.length}, {"CPI_type", c.cpi.cpiType}, {"EP_map", maps}};
  j["ClipMark_length"] = c.clipMarkLength;
  j["ExtensionData"] = core::extensionDataCaption(c.extensionData);
  return j;
}

int dumpClip(const fs::path& file, const core::Bytes& bytes, bool json) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  clip::ClipInfo c;
  auto st = clip::readClipInfo(bytes, file.filename().string(), c, log);
  if (!acceptRead(st)) return 1;
  fs::path stream = streamOf(file);
  std::error_code ec;
  uint64_t streamSize = stream.empty() ? 0 : fs::file_size(stream, ec);
  if (ec) streamSize = 0;
  if (json) {
    ordered_json j = toJson(c);
    if (!stream.empty()) j["stream"] = {{"name", stream.filename().string()}, {"size", streamSize}};
    if (st.partial()) j["truncated"] = true;
    std::cout << jsonText(j) << '\n';
    return st.complete() ? 0 : 1;
  }
  const auto& ci = c.clipInfo;
  std::cout << core::displayPath(file) << ": " << c.typeIndicator << " " << c.version << '\n';
  if (!stream.empty())
    std::cout << "Stream: " << stream.filename().string() << ", "
              << (streamSize ? core::thousandsText(streamSize) + " bytes" : std::string("missing file")) << '\n';
  std::cout << "Application type: " << int(ci.applicationType) << " "
            << (ci.applicationType < 8 ? clip::applicationTypeNames()[ci.applicationType] : std::string()) << '\n';
  std::cout << "ATCd: " << int(ci.isAtcDelta) << "  Rec. rate: " << ci.tsRecordingRate
            << "  Packets: " << ci.numberOfSourcePackets << '\n';
  if (auto n = clip::packetCountMismatch(c, streamSize))
    std::cout << "The m2ts file contains " << core::thousandsText(*n) << " packets.\n";
  if (ci.isAtcDelta) printGrid("ATC_delta_entries", clip::kHeadATCdelta, clip::atcDeltaRows(c));
  if (ci.applicationType == 6) printGrid("Font files", clip::kHeadFontFiles, clip::fontRows(c));
  printGrid("SequenceInfo", clip::kHeadSequence, clip::sequenceRows(c));
  printGrid("STC sequences", clip::kHeadSTC, clip::stcRows(c));
  for (size_t i = 0; i < c.programInfo.programSequences.size(); ++i)
    printGrid("ProgramInfo " + std::to_string(i), clip::kHeadCI, clip::programRows(c.programInfo.programSequences[i]));
  printGrid("CPI", clip::kHeadEPmap, clip::epMapRows(c));
  for (size_t i = 0; i < c.cpi.maps.size() && i < c.cpi.epMapEntries.size(); ++i) {
    std::string pid = core::hexText(c.cpi.epMapEntries[i].streamPid, 4);
    printGrid("EP coarse " + pid, clip::kHeadEPCoarse, clip::epCoarseRows(c.cpi.maps[i]));
    printGrid("EP fine " + pid, clip::kHeadEPfine, clip::epFineRows(c.cpi.maps[i]));
  }
  std::cout << "ClipMark length: " << c.clipMarkLength << '\n';
  std::cout << "ExtensionData: " << core::extensionDataCaption(c.extensionData) << '\n';
  return st.complete() ? 0 : 1;
}

int resaveClip(const fs::path& in, const core::Bytes& bytes, const fs::path& out) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  clip::ClipInfo c;
  if (!acceptRead(clip::readClipInfo(bytes, in.filename().string(), c, log))) return 1;
  std::string err;
  if (!writeCommandOutput(out, clip::writeClipInfo(c), err)) {
    fail(core::displayPath(out) + ": " + err);
    return exitStatus();
  }
  return 0;
}

struct DemuxArgs {
  std::string stream, mode, output;
  std::vector<std::string> pids;
};

// The output name the clip information view would give a PID: clip, PID, stream type
// and details of the ProgramInfo row; without clip information just clip and PID.
std::string defaultDemuxName(const fs::path& stream, uint32_t pid, ts::DemuxMode mode) {
  std::string clipName = stream.stem().string();
  std::string type = ts::demuxOutputType(pid, mode, mode == ts::DemuxMode::Pes);
  std::string pidText = core::hexText(pid, 4), typeText, details;
  fs::path clpi = stream.parent_path().parent_path() / "CLIPINF" / (clipName + ".clpi");
  core::Bytes bytes;
  std::string err;
  if (fs::exists(clpi) && core::readWholeFile(clpi, bytes, err)) {
    core::NullLog quiet;
    clip::ClipInfo c;
    if (clip::readClipInfo(bytes, clpi.filename().string(), c, quiet).complete())
      for (const auto& row : clip::programRows(c))
        if (clip::pidFromText(row[1]) == pid)
          return ts::demuxOutputName("", clipName, pidText, row[2], row[3], type);
  }
  // A PID of no known kind still gets an extension: a name never ends in a bare dot.
  return clipName + "_PID" + pidText + "." + (type.empty() ? std::string("bin") : type);
}

void runDemux(const DemuxArgs& a) {
  std::vector<ts::DemuxTarget> targets;
  for (const auto& text : a.pids) {
    auto parsed = core::parseNumber(text);
    if (!parsed) {
      fail("--pid: not a number: " + text, 2);
      return;
    }
    if (*parsed > 0x1FFE) {
      fail("--pid: not a stream PID: " + text, 2);
      return;
    }
    const uint32_t pid = uint32_t(*parsed);
    ts::DemuxMode mode;
    if (a.mode.empty()) mode = ts::chooseDemuxMode(pid, false, true, true);
    else if (a.mode == "es") mode = ts::DemuxMode::Elementary;
    else if (a.mode == "pes") mode = ts::DemuxMode::Pes;
    else if (a.mode == "sup") mode = ts::DemuxMode::Subtitle;
    else if (a.mode == "mnu") mode = ts::DemuxMode::Menu;
    else {
      fail("--mode: one of es, pes, sup, mnu", 2);
      return;
    }
    targets.push_back({pid, mode, {}});
  }
  fs::path stream = a.stream;
  ConsoleLog log;
  log.progressOnTerminal = true;
  core::Progress progress;
  // A damaged stream is a partial read: nothing is written unless --force says so.
  auto reportDamage = [&](const ts::DemuxResult& r) {
    if (!r.damaged()) return;
    core::ReadResult read;
    read.addPartial(r.endedInsidePes ? core::ReadIssue::EndsEarly : core::ReadIssue::Malformed, 0,
                    core::displayPath(stream) + ": the stream is damaged (" + r.damageText() + ")");
    acceptRead(read);
  };
  if (targets.size() == 1 && targets[0].mode == ts::DemuxMode::Menu) {
    // A menu file is written only when it reads as a menu: the check "menu extract"
    // makes.
    const std::string out = a.output.empty() ? defaultDemuxName(stream, targets[0].pid, targets[0].mode) : a.output;
    const uint32_t pid = targets[0].pid;
    igs::StreamMenu s = igs::extractMenu(stream, uint16_t(pid), log, &progress);
    if (isatty(2)) std::cerr << '\n';
    if (!s.ok) {
      fail(s.error);
      return;
    }
    if (s.cancelled) {
      exitStatus() = 1;
      return;
    }
    if (s.pidPackets == 0) {
      fail(core::displayPath(stream) + ": the stream carries no packets of PID " + core::hexText(pid, 4));
      return;
    }
    ConsoleLog quiet(ConsoleLog::Show::ErrorsOnly);
    igs::Menu m;
    core::ReadResult read = igs::readMenu(std::span<const uint8_t>(s.framed), stream.filename().string(), m, quiet);
    if (!s.damage.empty()) {
      const std::string what = stream.filename().string() + ": the stream is damaged (" + s.damage + ")";
      if (read.usable()) read.addPartial(core::ReadIssue::Malformed, 0, what);
      else std::cerr << "morvex-cli: " << what << '\n';
    }
    // --force writes the PID's data as the stream carries it even when it does not read
    // as a menu (the exit status stays 1).
    if (!acceptRead(read) && !(forced() && !s.framed.empty())) return;
    if (!read.complete() || !s.damage.empty()) exitStatus() = 1;
    std::string err;
    if (!writeCommandOutput(out, s.framed, err)) {
      fail(core::displayPath(out) + ": " + err);
      return;
    }
    std::cout << s.pidPackets << " source packets saved.\n";
    return;
  }
  if (targets.size() == 1) {
    const std::string out = a.output.empty() ? defaultDemuxName(stream, targets[0].pid, targets[0].mode) : a.output;
    ts::DemuxResult r = ts::savePid(stream, out, targets[0].pid, targets[0].mode, log, &progress, forced());
    if (isatty(2)) std::cerr << '\n';
    if (!r.ok) {
      fail(r.error);  // an existing output was left as it was, and no part of a new one
      return;
    }
    if (r.cancelled) {
      exitStatus() = 1;
      return;
    }
    reportDamage(r);
    return;
  }
  // Several PIDs: one read of the stream, each PID into the file named after it.
  if (!a.output.empty()) {
    fail("-o names one output; with several --pid each output is named after its PID", 2);
    return;
  }
  for (auto& t : targets) {
    t.output = defaultDemuxName(stream, t.pid, t.mode);
    // A menu file is written only when it reads as a menu, as with one PID; --force
    // writes the PID's data as the stream carries it.
    if (t.mode == ts::DemuxMode::Menu)
      t.check = [&stream, pid = t.pid](const core::Bytes& framed) -> std::string {
        ConsoleLog quiet(ConsoleLog::Show::ErrorsOnly);
        igs::Menu m;
        const core::ReadResult read =
            igs::readMenu(std::span<const uint8_t>(framed), stream.filename().string(), m, quiet);
        if (read.complete()) return {};
        if (forced() && !framed.empty()) {
          // Written as the stream carries it, but the run still says it was not a menu.
          std::cerr << "morvex-cli: " << core::displayPath(stream) << ": PID " << core::hexText(pid, 4)
                    << " does not read whole as a menu; written as the stream carries it (--force)\n";
          exitStatus() = 1;
          return {};
        }
        return core::displayPath(stream) + ": PID " + core::hexText(pid, 4) +
               " does not read as a menu; nothing written for it (" + read.summary() + ")";
      };
  }
  const auto results = ts::demuxPids(stream, targets, log, &progress, forced());
  if (isatty(2)) std::cerr << '\n';
  // A PID the stream does not carry, or a menu PID whose data does not read as a menu,
  // fails the command and gets no file; the others are written.
  const auto isAbsent = [](const ts::DemuxResult& r) { return r.error.find("carries no packets") != std::string::npos; };
  for (size_t i = 0; i < results.size(); ++i) {
    if (!results[i].ok) {
      fail(results[i].error);
      if (isAbsent(results[i]) || results[i].refused) continue;
      return;  // no output of the run was put in place
    }
    if (results[i].cancelled) {
      fail("cancelled; nothing was written");
      return;
    }
  }
  bool damaged = false;
  for (const auto& r : results) {
    reportDamage(r);
    damaged = damaged || r.damaged();
  }
  if (damaged && !forced()) return;  // every output was left as it was
  for (size_t i = 0; i < results.size(); ++i)
    if (results[i].ok)
      std::cout << targets[i].output.string() << ": " << results[i].pidPackets << " source packets saved.\n";
}

struct FindArgs {
  std::string dir, playlist;
  bool clips = false, json = false;
};

void runFind(const FindArgs& a) {
  if (a.playlist.empty() == !a.clips) {
    fail("find: give either --playlist NAME or --clips", 2);
    return;
  }
  ConsoleLog quiet(ConsoleLog::Show::ErrorsOnly);
  disc::DiscLoad d = disc::loadDisc(disc::discFolderFor(a.dir), disc::LoadOptions{}, quiet);
  if (!d.checkPassed) {
    fail(core::displayPath(a.dir) + ": not a disc folder");
    return;
  }
  // A search over files that were not read whole would miss references.
  for (const auto& read : d.reads)
    if (!acceptRead(read)) return;
  // Every playlist is read in both modes (the missing-stream errors go to stderr as
  // they are found). One that could not be read (refused, or read only in part) may
  // hold references the result lacks, and on a disc whose playlists cannot be read the
  // command search answers for playlists that do not work: the result says how many
  // could not be read and the exit status is non-zero, so an empty list is never taken
  // for "nothing refers to this".
  ConsoleLog none(ConsoleLog::Show::Nothing);
  disc::ClipSearchResult r = disc::findClipReferences(d, a.playlist.empty() ? static_cast<core::Log&>(quiet) : none);
  const size_t unreadable = r.problems.size();
  for (const auto& read : r.problems)
    for (const auto& p : read.problems) std::cerr << "morvex-cli: " << p.message << '\n';
  if (unreadable) exitStatus() = 1;
  if (!a.playlist.empty()) {
    auto lines = disc::findPlaylistCommands(d.movieObjects, disc::playlistNumber(a.playlist));
    if (a.json) {
      std::cout << jsonText(ordered_json{{"playlist", a.playlist},
                                         {"found_in", lines},
                                         {"playlists_read", r.playlistsRead},
                                         {"unreadable_playlists", unreadable}})
                << '\n';
      return;
    }
    ConsoleLog log;
    disc::logPlaylistCommands(log, a.playlist, lines);
    if (unreadable) std::cout << unreadable << " playlist(s) could not be read in full.\n";
    return;
  }
  if (a.json) {
    ordered_json j = ordered_json::object();
    for (size_t i = 0; i < d.clipinfos.size(); ++i) {
      ordered_json refs = ordered_json::array();
      for (const auto& row : disc::ciRefRows(d.ciRefs[i])) refs.push_back({{"mpls", row[1]}, {"kind", row[2]}, {"item", row[3]}});
      j[d.clipinfos[i]] = refs;
    }
    std::cout << jsonText(ordered_json{{"clips", j},
                                       {"missing_streams", r.missingStreams},
                                       {"playlists_read", r.playlistsRead},
                                       {"unreadable_playlists", unreadable}})
              << '\n';
    return;
  }
  for (size_t i = 0; i < d.clipinfos.size(); ++i) {
    std::cout << d.clipinfos[i] << d.names.clipinfext << ":";
    if (d.ciRefs[i].empty()) std::cout << " not referenced";
    std::cout << '\n';
    for (const auto& row : disc::ciRefRows(d.ciRefs[i])) std::cout << "  " << row[1] << ' ' << row[2] << ' ' << row[3] << '\n';
  }
  std::cout << r.playlistsRead << " playlist(s) read, " << r.missingStreams << " missing stream file reference(s).\n";
  if (unreadable) std::cout << unreadable << " playlist(s) could not be read in full.\n";
}

CommandRegistrar reg(50, [](CLI::App& app) {
  registerFileKind(FileKind{
      "clip information",
      [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "HDMV"); },
      dumpClip,
      resaveClip,
  });

  auto* demux = app.add_subcommand("demux", "Write PIDs of a stream file as ES, PES, SUP or MNU (several in one pass)");
  static DemuxArgs args;
  demux->add_option("STREAM", args.stream, "stream file (.m2ts)")->required()->check(CLI::ExistingFile);
  demux->add_option("--pid", args.pids, "PID, e.g. 0x1100; repeat for several PIDs in one pass")
      ->required()
      ->allow_extra_args(false);
  demux->add_option("--mode", args.mode, "es | pes | sup | mnu (default: sup for PG, mnu for IG, else es)");
  demux->add_option("-o,--output", args.output, "output file (default: named after the clip and stream)");
  demux->callback([] { runDemux(args); });

  auto* find = app.add_subcommand("find", "Cross references: commands playing a playlist, playlists playing each clip");
  static FindArgs fargs;
  find->add_option("DIR", fargs.dir, "disc folder (BDMV or the folder holding it)")->required();
  find->add_option("--playlist", fargs.playlist, "movie-object commands that play this playlist (e.g. 00012)");
  find->add_flag("--clips", fargs.clips, "playlists that play each clip, and missing stream files");
  find->add_flag("--json", fargs.json, "machine-readable JSON output");
  find->callback([] { runFind(fargs); });
});

}  // namespace

}  // namespace morvex::cli

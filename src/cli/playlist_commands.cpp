// Playlists on the command line: "dump" and "resave" of .mpls files, and
// "chapters export" / "chapters import".
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/text.h"
#include "core/save.h"
#include "core/stream_coding.h"
#include "playlist/chapters.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"
#include "playlist/names.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace morvex::cli {

namespace {

using namespace morvex::playlist;

// Reads a playlist image; its error lines go to stderr and the result decides (a
// partial playlist is worked on only with --force).
bool loadPlaylist(const fs::path& p, const core::Bytes& bytes, Playlist& m) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  return acceptRead(readPlaylist(bytes, core::displayPath(p), m, log, ReadOptions{true}));
}

bool loadPlaylistFile(const fs::path& p, Playlist& m) {
  core::Bytes bytes;
  std::string err;
  if (!core::readWholeFile(p, bytes, err)) {
    fail(core::displayPath(p) + ": " + err);
    return false;
  }
  return loadPlaylist(p, bytes, m);
}

std::string joinRow(const Row& r) {
  std::string s;
  for (size_t i = 0; i < r.size(); ++i) {
    if (i) s += " | ";
    s += r[i];
  }
  return s;
}

constexpr StreamKind kKinds[] = {StreamKind::Video, StreamKind::Audio,    StreamKind::PG,   StreamKind::IG,
                                 StreamKind::SecVideo, StreamKind::SecAudio, StreamKind::PIPPG};
constexpr const char* kKindNames[] = {"primary video", "primary audio",  "PG/text subtitle", "IG",
                                      "secondary video", "secondary audio", "PiP PG/text subtitle"};

void dumpText(const fs::path& p, const Playlist& m) {
  std::cout << core::displayPath(p) << ": " << m.typeIndicator << " " << m.version << '\n';
  std::cout << "PlayList start " << m.playListStart << ", PlayListMark start " << m.markStart
            << ", ExtensionData start " << m.extDataStart << '\n';
  const auto& ai = m.appInfo;
  std::cout << "AppInfoPlayList: playback type " << unsigned(ai.playbackType);
  if (ai.playbackType >= 1 && ai.playbackType <= 3) std::cout << " (" << playbackTypeItems()[ai.playbackType - 1] << ")";
  std::cout << ", playback count " << ai.playbackCount << ", UO " << core::hexText(ai.uoMask1, 8) << " "
            << core::hexText(ai.uoMask2, 8) << ", random access " << unsigned(ai.randomAccessFlag)
            << ", audio mix " << unsigned(ai.audioMixAppFlag) << ", bypass mixer "
            << unsigned(ai.losslessMayBypassMixerFlag);
  if (m.version == "0300") std::cout << ", SDR conversion notification " << unsigned(ai.sdrConversionNotificationFlag);
  std::cout << '\n';

  std::cout << "\nPlayItems\n  " << joinRow(playItemHeader()) << '\n';
  for (size_t i = 0; i < m.playList.playItems.size(); ++i) {
    const auto& pi = m.playList.playItems[i];
    std::cout << "  " << joinRow(playItemRow(pi, unsigned(i))) << '\n';
    for (const auto& r : angleRows(pi)) std::cout << "      angle " << joinRow(r) << '\n';
    std::cout << "      STN " << joinRow(stnCountHeader()) << ": " << joinRow(stnCountRow(pi.stn)) << '\n';
    for (size_t k = 0; k < std::size(kKinds); ++k)
      for (const auto& r : streamRows(pi.stn, kKinds[k])) std::cout << "      " << kKindNames[k] << " " << joinRow(r) << '\n';
    for (size_t i = 0; i < pi.stn.dv.size(); ++i)
      std::cout << "      Dolby Vision " << joinRow(streamRow(pi.stn.dv[i], StreamKind::Video, unsigned(i))) << '\n';
  }
  std::cout << "\nSubPaths\n";
  for (size_t j = 0; j < m.playList.subPaths.size(); ++j) {
    const auto& sp = m.playList.subPaths[j];
    std::cout << "  " << joinRow(subPathRow(sp, unsigned(j))) << '\n';
    for (size_t k = 0; k < sp.subPlayItems.size(); ++k) {
      std::cout << "      " << joinRow(subPlayItemRow(sp.subPlayItems[k], unsigned(k))) << '\n';
      for (const auto& r : multiClipRows(sp.subPlayItems[k])) std::cout << "          clip " << joinRow(r) << '\n';
    }
  }
  std::cout << "\nPlayListMarks\n";
  for (size_t k = 0; k < m.playListMark.marks.size(); ++k)
    std::cout << "  " << joinRow(markLine(m.playListMark.marks[k], unsigned(k))) << '\n';
  std::cout << "\nExtensionData: " << core::extensionDataCaption(m.extData) << '\n';
  std::vector<StaticMetadata> meta;
  if (readStaticMetadata(m.extData, meta))
    for (size_t i = 0; i < meta.size(); ++i) {
      const auto& h = meta[i];
      std::cout << "  Static HDR metadata " << i + 1 << ": " << core::dynamicRangeTypeName(h.dynamicRangeType)
                << ", primaries G " << h.displayPrimariesX[0] << "/" << h.displayPrimariesY[0] << " B "
                << h.displayPrimariesX[1] << "/" << h.displayPrimariesY[1] << " R " << h.displayPrimariesX[2] << "/"
                << h.displayPrimariesY[2] << ", white point " << h.whitePointX << "/" << h.whitePointY
                << ", mastering luminance max " << h.maxDisplayMasteringLuminance << " min "
                << h.minDisplayMasteringLuminance << ", MaxCLL " << h.maxContentLightLevel << ", MaxFALL "
                << h.maxFrameAverageLightLevel << '\n';
    }
  for (const auto& w : layoutMismatches(m)) std::cout << "warning: " << w << '\n';
}

json streamJson(const Stream& s) {
  const auto& e = s.entry;
  const auto& a = s.attr;
  json j = {{"entry",
             {{"length", e.length},
              {"type", e.type},
              {"mainPID", e.mainPID},
              {"subPID", e.subPID},
              {"subPathId", e.subPathId},
              {"subClipId", e.subClipId}}},
            {"attributes",
             {{"length", a.length},
              {"codingType", a.codingType},
              {"codingName", std::string(core::codingTypeName(a.codingType))},
              {"videoFormat", a.videoFormat},
              {"frameRate", a.frameRate},
              {"audioPresentation", a.audioPresentation},
              {"samplingFrequency", a.samplingFrequency},
              {"language", a.language},
              {"charCode", a.charCode}}}};
  if (core::isCoding(a.codingType, core::StreamCoding::Hevc)) {
    auto& h = j["attributes"];
    h["dynamicRangeType"] = a.dynamicRangeType;
    h["dynamicRangeName"] = std::string(core::dynamicRangeTypeName(a.dynamicRangeType));
    h["colorSpace"] = a.colorSpace;
    h["colorSpaceName"] = std::string(core::colorSpaceName(a.colorSpace));
    h["crFlag"] = a.crFlag;
    h["hdrPlusFlag"] = a.hdrPlusFlag;
  }
  return j;
}

json clipRefs(const std::vector<ClipRef>& v) {
  json a = json::array();
  for (const auto& c : v) a.push_back({{"clip", c.clipName}, {"codec", c.codecId}, {"stc", c.stcId}});
  return a;
}

json dumpJson(const Playlist& m) {
  json j;
  j["typeIndicator"] = m.typeIndicator;
  j["version"] = m.version;
  j["playListStart"] = m.playListStart;
  j["playListMarkStart"] = m.markStart;
  j["extensionDataStart"] = m.extDataStart;
  const auto& ai = m.appInfo;
  j["appInfo"] = {{"length", ai.length},
                  {"playbackType", ai.playbackType},
                  {"playbackCount", ai.playbackCount},
                  {"uoMask1", ai.uoMask1},
                  {"uoMask2", ai.uoMask2},
                  {"PlayList_random_access_flag", ai.randomAccessFlag},
                  {"audio_mix_app_flag", ai.audioMixAppFlag},
                  {"lossless_may_bypass_mixer_flag", ai.losslessMayBypassMixerFlag}};
  if (m.version == "0300") {
    j["appInfo"]["MVC_base_view_R_flag"] = ai.mvcBaseViewRFlag;
    j["appInfo"]["SDR_conversion_notification_flag"] = ai.sdrConversionNotificationFlag;
  }
  j["playList"] = {{"length", m.playList.length},
                   {"numPlayItems", m.playList.numPlayItems},
                   {"numSubPaths", m.playList.numSubPaths}};
  json items = json::array();
  for (const auto& p : m.playList.playItems) {
    json stn = {{"length", p.stn.length}};
    const char* keys[] = {"video", "audio", "pg", "ig", "secondaryVideo", "secondaryAudio", "pipPG"};
    for (size_t k = 0; k < std::size(kKinds); ++k) {
      json list = json::array();
      for (unsigned i = 0; i < streamCount(p.stn, kKinds[k]); ++i) {
        const Stream* s = streamAt(p.stn, kKinds[k], i);
        if (!s) break;
        json sj = streamJson(*s);
        if (kKinds[k] == StreamKind::SecAudio) sj["primaryAudioRefs"] = p.stn.secAudio[i].primaryAudioRefs;
        if (kKinds[k] == StreamKind::SecVideo) {
          sj["secondaryAudioRefs"] = p.stn.secVideo[i].secAudioRefs;
          sj["pipPGRefs"] = p.stn.secVideo[i].pipPGRefs;
        }
        list.push_back(sj);
      }
      stn[keys[k]] = list;
    }
    if (!p.stn.dv.empty()) {
      json list = json::array();
      for (const auto& s : p.stn.dv) list.push_back(streamJson(s));
      stn["dolbyVision"] = list;
    }
    items.push_back({{"length", p.length},
                     {"clip", p.clipName},
                     {"codec", p.codecId},
                     {"isMultiAngle", p.isMultiAngle},
                     {"connectionCondition", p.connectionCondition},
                     {"stc", p.stcId},
                     {"in", p.inTime},
                     {"out", p.outTime},
                     {"uoMask1", p.uoMask1},
                     {"uoMask2", p.uoMask2},
                     {"randomAccess", p.randomAccessFlag},
                     {"stillMode", p.stillMode},
                     {"stillTime", p.stillTime},
                     {"angles", clipRefs(p.multiClip.angles)},
                     {"stn", stn}});
  }
  j["playItems"] = items;
  json subs = json::array();
  for (const auto& sp : m.playList.subPaths) {
    json spi = json::array();
    for (const auto& s : sp.subPlayItems)
      spi.push_back({{"length", s.length},
                     {"clip", s.clipName},
                     {"codec", s.codecId},
                     {"connectionCondition", s.connectionCondition},
                     {"isMultiClipEntries", s.isMultiClipEntries},
                     {"stc", s.stcId},
                     {"in", s.inTime},
                     {"out", s.outTime},
                     {"syncPlayItemId", s.syncPlayItemId},
                     {"syncStartPTS", s.syncStartPTS},
                     {"clips", clipRefs(s.clips)}});
    subs.push_back({{"length", sp.length}, {"type", sp.type}, {"repeat", sp.repeat}, {"subPlayItems", spi}});
  }
  j["subPaths"] = subs;
  json marks = json::array();
  for (const auto& mk : m.playListMark.marks)
    marks.push_back({{"type", mk.type},
                     {"playItem", mk.playItemRef},
                     {"time", mk.timeStamp},
                     {"entryPID", mk.entryPID},
                     {"duration", mk.duration}});
  j["playListMark"] = {{"length", m.playListMark.length}, {"marks", marks}};
  j["extensionData"] = {{"length", m.extData.length}, {"entries", m.extData.entries.size()}};
  std::vector<StaticMetadata> meta;
  if (readStaticMetadata(m.extData, meta)) {
    json list = json::array();
    for (const auto& h : meta)
      list.push_back({{"dynamicRangeType", h.dynamicRangeType},
                      {"displayPrimariesX", h.displayPrimariesX},
                      {"displayPrimariesY", h.displayPrimariesY},
                      {"whitePointX", h.whitePointX},
                      {"whitePointY", h.whitePointY},
                      {"maxDisplayMasteringLuminance", h.maxDisplayMasteringLuminance},
                      {"minDisplayMasteringLuminance", h.minDisplayMasteringLuminance},
                      {"maxContentLightLevel", h.maxContentLightLevel},
                      {"maxFrameAverageLightLevel", h.maxFrameAverageLightLevel}});
    j["extensionData"]["staticMetadata"] = list;
  }
  return j;
}

FileKind playlistKind() {
  FileKind k;
  k.name = "playlist";
  k.matches = [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "MPLS"); };
  k.dump = [](const fs::path& p, const core::Bytes& b, bool asJson) {
    Playlist m;
    if (!loadPlaylist(p, b, m)) return exitStatus();
    if (asJson) std::cout << jsonText(dumpJson(m)) << '\n';
    else dumpText(p, m);
    return 0;
  };
  k.resave = [](const fs::path& in, const core::Bytes& b, const fs::path& out) {
    Playlist m;
    if (!loadPlaylist(in, b, m)) return exitStatus();
    std::string err;
    if (!writeCommandOutput(out, writePlaylist(m), err)) {
      fail(core::displayPath(out) + ": " + err);
      return exitStatus();
    }
    return 0;
  };
  return k;
}

std::optional<ChapterFormat> formatOption(const std::string& text) {
  auto f = parseChapterFormat(text);
  if (!f) fail("unknown chapter format \"" + text + "\" (use pts, frame or time)");
  return f;
}

}  // namespace

static CommandRegistrar reg(40, [](CLI::App& app) {
  registerFileKind(playlistKind());

  auto* chapters = app.add_subcommand("chapters", "Export or import the chapter marks of a playlist");
  chapters->require_subcommand(1);

  auto* exp = chapters->add_subcommand("export", "Write the marks of a playlist as a chapter file");
  static std::string expIn, expOut, expFormat = "pts";
  exp->add_option("PLAYLIST", expIn, "playlist file (.mpls)")->required();
  exp->add_option("--format", expFormat, "pts, frame or time")->capture_default_str();
  exp->add_option("-o,--output", expOut, "chapter file to write (default: standard output)");
  exp->callback([] {
    auto f = formatOption(expFormat);
    if (!f) return;
    Playlist m;
    if (!loadPlaylistFile(expIn, m)) return;
    ChapterResult r = exportChapters(m, *f);
    if (!r.ok) {
      fail(r.error);
      return;
    }
    for (const auto& w : r.warnings) std::cerr << "WARNING: " << w << '\n';
    if (expOut.empty()) {
      std::cout << r.text;
      return;
    }
    if (outputIsAnInput(expOut, {expIn})) return;
    std::string err;
    if (!writeCommandOutput(expOut, core::Bytes(r.text.begin(), r.text.end()), err))
      fail(core::displayPath(expOut) + ": " + err);
  });

  auto* imp = chapters->add_subcommand("import", "Replace the marks of a playlist by a chapter file");
  static std::string impIn, impFile, impOut, impFormat = "pts";
  static bool impQuiet = false;
  imp->add_option("PLAYLIST", impIn, "playlist file (.mpls)")->required();
  imp->add_option("FILE", impFile, "chapter file")->required();
  imp->add_option("--format", impFormat, "pts, frame or time")->capture_default_str();
  imp->add_option("-o,--output", impOut, "playlist file to write")->required();
  imp->add_flag("-q,--quiet", impQuiet, "do not print the placement of each chapter");
  imp->callback([] {
    auto f = formatOption(impFormat);
    if (!f) return;
    Playlist m;
    if (!loadPlaylistFile(impIn, m)) return;
    allowInPlace(impIn);
    core::Bytes text;
    std::string err;
    if (!core::readWholeFile(impFile, text, err)) {
      fail(core::displayPath(impFile) + ": " + err);
      return;
    }
    ConsoleLog log(impQuiet ? ConsoleLog::Show::ErrorsOnly : ConsoleLog::Show::Everything);
    ChapterResult r = importChapters(m, std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), *f, log);
    if (!r.ok) {
      fail(r.error);
      return;
    }
    if (!writeCommandOutput(impOut, writePlaylist(m), err)) fail(core::displayPath(impOut) + ": " + err);
  });
});

}  // namespace morvex::cli

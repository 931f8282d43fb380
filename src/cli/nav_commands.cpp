// index.bdmv and MovieObject.bdmv for "dump" and "resave".
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/output_guard.h"
#include "cli/registry.h"
#include "core/stream_coding.h"
#include "core/save.h"
#include "core/text.h"
#include "nav/index.h"
#include "nav/movie_object.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace morvex::cli {

// Helpers shared with the sound and disc commands (declared there).
namespace navfmt {

std::string hexBytes(const uint8_t* p, size_t n) {
  return core::hexBytes(std::string_view(reinterpret_cast<const char*>(p), n));
}

json extensionDataJson(const core::ExtensionData& x) {
  json j = {{"length", x.length},
            {"dataBlockStartAddress", x.dataBlockStartAddress},
            {"numberOfEntries", x.entries.size()},
            {"summary", core::extensionDataCaption(x)}};
  json entries = json::array();
  for (const auto& e : x.entries)
    entries.push_back({{"id1", e.id1}, {"id2", e.id2}, {"startAddress", e.startAddress}, {"length", e.length}});
  j["entries"] = entries;
  j["data"] = hexBytes(x.data.data(), x.data.size());
  return j;
}

// Reads an image printing only the reader's error lines; the result decides, and its
// problems are printed.
bool readQuietly(const std::function<core::ReadResult(core::Log&)>& read) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  return acceptRead(read(log));
}

int writeOutput(const fs::path& out, const core::Bytes& bytes) {
  std::string err;
  if (!writeCommandOutput(out, bytes, err)) {
    fail(core::displayPath(out) + ": " + err);
    return 1;
  }
  return 0;
}

}  // namespace navfmt

namespace {

using namespace navfmt;

std::string fourcc(uint32_t v) {
  std::string s;
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

json titleJson(const nav::Title& t, bool isTitle) {
  json j = {{"titleNumber", t.titleNumber}, {"objectType", t.objectType}};
  if (isTitle) j["accessType"] = t.accessType;
  j["playbackType"] = t.playbackType;
  if (t.isHdmv())
    j["objectId"] = t.objectId;
  else
    j["bdjFileName"] = t.bdjFileName;
  return j;
}

std::string titleText(const nav::Title& t, bool isTitle) {
  std::string s = t.isHdmv() ? "HDMV object " + std::to_string(t.objectId)
                             : (t.objectType == nav::ObjectBDJ ? "BD-J " : "object type " + std::to_string(t.objectType) + " ") +
                                   t.bdjFileName;
  s += ", playback " + std::to_string(t.playbackType);
  if (!nav::playbackTypeText(t.playbackType).empty()) s += " (" + nav::playbackTypeText(t.playbackType) + ")";
  if (isTitle) s += ", access " + std::to_string(t.accessType) + " (" + nav::accessTypeText(t.accessType) + ")";
  return s;
}

bool readIndexFile(const fs::path& p, const core::Bytes& bytes, nav::IndexTable& x) {
  return readQuietly([&](core::Log& log) { return nav::readIndexTable(bytes, p.filename().string(), x, log); });
}

bool readMobjFile(const fs::path& p, const core::Bytes& bytes, nav::MovieObjectFile& m) {
  return readQuietly([&](core::Log& log) { return nav::readMovieObjectFile(bytes, p.filename().string(), m, log); });
}

std::string appInfoText(const nav::IndexTable& x) {
  const nav::AppInfoFlags f = nav::appInfoFlagsOf(x.appInfoFlags);
  std::string s = "output mode preference " + std::to_string(f.initialOutputModePreference) + ", content exists " +
                  std::to_string(f.contentExistFlag) + ", video format " + std::to_string(f.videoFormat) +
                  ", frame rate " + std::to_string(f.frameRate);
  if (x.version == nav::kVersion0300)
    s += ", initial dynamic range " + std::string(core::dynamicRangeTypeName(f.initialDynamicRangeType));
  return s;
}

int dumpIndex(const fs::path& p, const core::Bytes& bytes, bool asJson) {
  nav::IndexTable x;
  if (!readIndexFile(p, bytes, x)) return 1;
  const auto& ix = x.indexes;
  if (asJson) {
    json titles = json::array();
    for (const auto& t : ix.titles) titles.push_back(titleJson(t, true));
    json j = {{"typeIndicator", fourcc(x.typeIndicator)},
              {"version", fourcc(x.version)},
              {"indexesStartAddress", x.indexesStartAddress},
              {"extensionDataStartAddress", x.extensionDataStartAddress},
              {"reserved", hexBytes(x.reserved.data(), x.reserved.size())},
              {"appInfoLength", x.appInfoLength},
              {"appInfoFlags", x.appInfoFlags},
              {"indexes",
               {{"indexesLength", ix.length},
                {"firstPlayback", titleJson(ix.firstPlayback, false)},
                {"topMenu", titleJson(ix.topMenu, false)},
                {"numberOfTitles", ix.titles.size()},
                {"titles", titles}}},
              {"extensionData", extensionDataJson(x.extensionData)}};
    putText(j, "contentProviderData", x.contentProviderData);
    const nav::AppInfoFlags f = nav::appInfoFlagsOf(x.appInfoFlags);
    j["appInfo"] = {{"initialOutputModePreference", f.initialOutputModePreference},
                    {"contentExistFlag", f.contentExistFlag},
                    {"videoFormat", f.videoFormat},
                    {"frameRate", f.frameRate}};
    if (x.version == nav::kVersion0300) {
      j["appInfo"]["initialDynamicRangeType"] = f.initialDynamicRangeType;
      j["appInfo"]["initialDynamicRangeName"] = std::string(core::dynamicRangeTypeName(f.initialDynamicRangeType));
    }
    nav::UhdDiscInfo u;
    if (nav::readUhdDiscInfo(x.extensionData, u))
      j["uhdDiscInfo"] = {{"discType", u.discType},       {"exist4kFlag", u.exist4kFlag},
                          {"hdr10PlusFlag", u.hdr10PlusFlag}, {"slHdr2Flag", u.slHdr2Flag},
                          {"dolbyVisionFlag", u.dolbyVisionFlag}, {"hdr10Flag", u.hdr10Flag},
                          {"sdrFlag", u.sdrFlag}};
    std::cout << jsonText(j) << '\n';
    return exitStatus();
  }
  std::cout << p.filename().string() << ": " << fourcc(x.typeIndicator) << " version " << fourcc(x.version) << '\n'
            << "Indexes start address: " << x.indexesStartAddress << '\n'
            << "ExtensionData start address: " << x.extensionDataStartAddress << '\n'
            << "AppInfo length: " << x.appInfoLength << ", flags: " << core::hexText(x.appInfoFlags, 4) << '\n'
            << "Content provider: " << x.contentProviderData << '\n'
            << "AppInfo: " << appInfoText(x) << '\n'
            << "Indexes length: " << ix.length << '\n'
            << "First Playback: " << titleText(ix.firstPlayback, false) << '\n'
            << "Top Menu: " << titleText(ix.topMenu, false) << '\n'
            << "Titles: " << ix.titles.size() << '\n';
  for (const auto& t : ix.titles) std::cout << "  Title " << t.titleNumber << ": " << titleText(t, true) << '\n';
  std::cout << "ExtensionData: " << core::extensionDataCaption(x.extensionData) << '\n';
  nav::UhdDiscInfo u;
  if (nav::readUhdDiscInfo(x.extensionData, u)) std::cout << "Ultra HD disc info: " << nav::uhdDiscInfoText(u) << '\n';
  return 0;
}

int dumpMobj(const fs::path& p, const core::Bytes& bytes, bool asJson) {
  nav::MovieObjectFile m;
  if (!readMobjFile(p, bytes, m)) return 1;
  const auto& objs = m.movieObjects;
  if (asJson) {
    json list = json::array();
    for (const auto& o : objs.objects) {
      json cmds = json::array();
      for (const auto& c : o.commands)
        cmds.push_back({{"opcode", core::hexText(c.opcode, 8)},
                        {"dst", core::hexText(c.dst, 8)},
                        {"src", core::hexText(c.src, 8)}});
      list.push_back({{"resumeIntentionFlag", o.resumeIntentionFlag},
                      {"menuCallMask", o.menuCallMask},
                      {"titleSearchMask", o.titleSearchMask},
                      {"numberOfCommands", o.commands.size()},
                      {"commands", cmds}});
    }
    json j = {{"typeIndicator", m.typeIndicator},
              {"version", m.version},
              {"extensionDataStartAddress", m.extensionDataStartAddress},
              {"reserved", hexBytes(m.reserved.data(), m.reserved.size())},
              {"movieObjects",
               {{"movieObjectsLength", objs.length},
                {"reserved", objs.reserved},
                {"numberOfObjects", objs.objects.size()},
                {"objects", list}}},
              {"extensionData", extensionDataJson(m.extensionData)}};
    std::cout << jsonText(j) << '\n';
    return 0;
  }
  std::cout << p.filename().string() << ": " << m.typeIndicator << " version " << m.version << '\n'
            << "ExtensionData start address: " << m.extensionDataStartAddress << '\n'
            << "MovieObjects length: " << objs.length << '\n'
            << "Objects: " << objs.objects.size() << '\n';
  for (size_t i = 0; i < objs.objects.size(); ++i) {
    const auto& o = objs.objects[i];
    std::cout << "Object " << core::decimalText(i, 3) << ": resume " << nav::resumeText(o.resumeIntentionFlag)
              << ", menu call " << nav::maskText(o.menuCallMask) << ", title search "
              << nav::maskText(o.titleSearchMask) << ", " << o.commands.size() << " commands\n";
    for (size_t k = 0; k < o.commands.size(); ++k) {
      const auto& c = o.commands[k];
      std::cout << "  " << core::decimalText(k, 4) << ": " << core::hexText(c.opcode, 8) << ' '
                << core::hexText(c.dst, 8) << ' ' << core::hexText(c.src, 8) << '\n';
    }
  }
  std::cout << "ExtensionData: " << core::extensionDataCaption(m.extensionData) << '\n';
  return 0;
}

static CommandRegistrar reg(10, [](CLI::App&) {
  registerFileKind(FileKind{
      "index", [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "INDX"); }, dumpIndex,
      [](const fs::path& in, const core::Bytes& b, const fs::path& out) {
        nav::IndexTable x;
        if (!readIndexFile(in, b, x)) return 1;
        return writeOutput(out, nav::writeIndexTable(x));
      }});
  registerFileKind(FileKind{
      "MovieObject", [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "MOBJ"); }, dumpMobj,
      [](const fs::path& in, const core::Bytes& b, const fs::path& out) {
        nav::MovieObjectFile m;
        if (!readMobjFile(in, b, m)) return 1;
        return writeOutput(out, nav::writeMovieObjectFile(m));
      }});
});

}  // namespace
}  // namespace morvex::cli

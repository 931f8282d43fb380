#include "bdj/bdjo.h"
#include "core/text.h"

#include <cstdio>

#include "core/save.h"

namespace morvex::bdj {

using core::Reader;

namespace {

// Texts in the application table leave the position odd now and then; the next field
// starts on an even position.
void pad(Reader& r) {
  if (r.pos() & 1) r.skip(1);
}

std::string lengthText(Reader& r) {
  unsigned n = r.readU8();
  return r.readString(n);
}

// What one application's blocks took as read, for the check against the lengths it
// stores: the descriptor runs from just after its length field to the padding that ends
// the application; the names and parameters blocks from just after their own lengths.
struct ApplicationExtent {
  uint64_t descriptor = 0;
  uint64_t names = 0;
  uint64_t parameters = 0;
};

ApplicationExtent readApplication(Reader& r, Application& a) {
  ApplicationExtent took;
  a.controlCode = r.readU8();
  a.type = r.readU8();
  a.organizationId = r.readU32();
  a.applicationId = r.readU16();
  a.descriptorTag = r.readU8();
  r.skip(1);
  a.descriptorLength = r.readU32();
  const uint64_t descriptorStart = r.pos();
  r.skip(4);
  a.profileCount = uint8_t(r.readU16() >> 12);
  for (unsigned i = 0; i < a.profileCount && !r.overrun(); ++i) {
    AppProfile p;
    p.profile = r.readU16();
    p.major = r.readU8();
    p.minor = r.readU8();
    p.micro = r.readU8();
    r.skip(1);
    a.profiles.push_back(p);
  }
  a.priority = r.readU8();
  uint8_t b = r.readU8();
  a.binding = (b >> 6) & 3;
  a.visibility = (b >> 4) & 3;
  a.namesLength = r.readU16();
  // Names are read while bytes of the block remain; a name that runs past the block's
  // end is still read whole and ends the block (and the block's length then disagrees
  // with what was read).
  const uint64_t namesStart = r.pos();
  int32_t left = a.namesLength;
  while (left > 0 && !r.overrun()) {
    AppName n;
    n.language = r.readString(3);
    unsigned len = r.readU8();
    n.name = r.readString(len);
    left -= int32_t(len) + 4;
    if (r.overrun()) break;
    a.names.push_back(std::move(n));
  }
  took.names = r.pos() - namesStart;
  pad(r);
  a.iconLocator = lengthText(r);
  pad(r);
  a.iconFlags = r.readU16();
  a.baseDirectory = lengthText(r);
  pad(r);
  a.classpathExtension = lengthText(r);
  pad(r);
  a.initialClassName = lengthText(r);
  pad(r);
  a.parametersLength = r.readU8();
  const uint64_t parametersStart = r.pos();
  int32_t pleft = a.parametersLength;
  while (pleft > 0 && !r.overrun()) {
    AppParameter p;
    unsigned len = r.readU8();
    p.text = r.readString(len);
    pleft -= int32_t(len) + 1;
    if (r.overrun()) break;
    a.parameters.push_back(std::move(p));
  }
  took.parameters = r.pos() - parametersStart;
  pad(r);
  took.descriptor = r.pos() - descriptorStart;
  return took;
}

}  // namespace

core::ReadResult readBdjObject(const core::Bytes& image, const std::string& fileName, BdjObject& out, core::Log& log) {
  core::ReadResult res;
  log.stage("Reading [bl]" + fileName + "[/bl]");
  out = BdjObject{};
  Reader r(image);
  out.typeIndicator = r.readString(4);
  out.version = r.readString(4);
  if (out.typeIndicator != "BDJO" || (out.version != "0100" && out.version != "0200")) {
    if (out.typeIndicator == "BDJO" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, out.version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a BD-J object file");
    return res;
  }
  uint64_t sectionStart = 0;
  const char* section = "TerminalInfo";
  auto truncated = [&] {
    log.error("Unexpected end of file: " + fileName);
    res.addCutShort(fileName, section, sectionStart, image.size());
    return res;
  };
  for (auto& a : out.start_address) a = r.readU32();
  r.skip(16);
  // Every table's length counts the bytes after its own length field; each must agree
  // with what its entries took. A table may start past the end of the one before it
  // (padding), never inside it.
  auto checkLength = [&](const std::string& field, uint64_t stored, uint64_t lengthAt) {
    if (r.overrun()) return;
    const uint64_t read = r.pos() - lengthAt - 4;
    if (stored != read) res.addLayoutMismatch(fileName, field, stored, read);
  };
  auto checkStart = [&](const std::string& field, uint64_t stored) {
    if (stored < r.pos()) res.addLayoutMismatch(fileName, field, stored, r.pos());
  };
  auto& ti = out.terminalInfo;
  const uint64_t terminalAt = r.pos();
  ti.length = r.readU32();
  ti.defaultFont = r.readString(5);
  uint8_t b = r.readU8();
  ti.initialHaviConfigurationId = b >> 4;
  ti.menuCallMask = b & 0x08;
  ti.titleSearchMask = b & 0x04;
  r.skip(4);
  if (r.overrun()) return truncated();
  checkLength("TerminalInfo length", ti.length, terminalAt);

  checkStart("AppCacheInfo start address", out.start_address[1]);
  sectionStart = out.start_address[1];
  section = "AppCacheInfo";
  r.seek(out.start_address[1]);
  out.appCacheInfo.length = r.readU32();
  unsigned n = r.readU8();
  r.skip(1);
  for (unsigned i = 0; i < n && !r.overrun(); ++i) {
    AppCacheEntry e;
    e.entryType = r.readU8();
    e.refToName = r.readString(5);
    e.language = r.readString(3);
    r.skip(3);
    if (r.overrun()) break;
    out.appCacheInfo.entries.push_back(e);
  }
  if (r.overrun()) return truncated();
  checkLength("AppCacheInfo length", out.appCacheInfo.length, out.start_address[1]);

  checkStart("TableOfAccessiblePlayLists start address", out.start_address[2]);
  sectionStart = out.start_address[2];
  section = "TableOfAccessiblePlayLists";
  r.seek(out.start_address[2]);
  auto& pl = out.accessiblePlaylists;
  pl.length = r.readU32();
  uint16_t w = r.readU16();
  pl.accessToAll = w & 0x10;
  pl.autostartFirstPlaylist = w & 0x08;
  r.skip(2);
  for (unsigned i = 0; i < unsigned(w >> 5) && !r.overrun(); ++i) {
    std::string name = r.readString(5);
    r.skip(1);
    if (r.overrun()) break;
    pl.playlists.push_back(name);
  }
  if (r.overrun()) return truncated();
  checkLength("TableOfAccessiblePlayLists length", pl.length, out.start_address[2]);

  checkStart("ApplicationManagementTable start address", out.start_address[3]);
  sectionStart = out.start_address[3];
  section = "ApplicationManagementTable";
  r.seek(out.start_address[3]);
  auto& amt = out.applicationTable;
  amt.length = r.readU32();
  n = r.readU8();
  r.skip(1);
  for (unsigned i = 0; i < n && !r.overrun(); ++i) {
    Application a;
    const ApplicationExtent took = readApplication(r, a);
    if (!r.overrun()) {
      const std::string app = "application " + std::to_string(i) + " ";
      if (a.descriptorLength != took.descriptor)
        res.addLayoutMismatch(fileName, app + "descriptor length", a.descriptorLength, took.descriptor);
      if (a.namesLength != took.names) res.addLayoutMismatch(fileName, app + "names length", a.namesLength, took.names);
      if (a.parametersLength != took.parameters)
        res.addLayoutMismatch(fileName, app + "parameters length", a.parametersLength, took.parameters);
    }
    amt.applications.push_back(std::move(a));  // kept even when cut short: shown as far as read
  }
  if (r.overrun()) return truncated();
  checkLength("ApplicationManagementTable length", amt.length, out.start_address[3]);

  checkStart("KeyInterestTable start address", out.start_address[4]);
  sectionStart = out.start_address[4];
  section = "KeyInterestTable";
  r.seek(out.start_address[4]);
  out.keyInterest = r.readU32();
  if (r.overrun()) return truncated();

  checkStart("FileAccessInfo start address", out.start_address[5]);
  sectionStart = out.start_address[5];
  section = "FileAccessInfo";
  r.seek(out.start_address[5]);
  unsigned len = r.readU16();
  out.directoryPaths = r.readString(len);
  if (r.overrun()) return truncated();
  // The first address names the ExtensionData that may follow the tables (0: none). It
  // is not read, but it must lie after what was read and inside the file.
  if (out.start_address[0] != 0) {
    if (out.start_address[0] < r.pos())
      res.addLayoutMismatch(fileName, "ExtensionData start address", out.start_address[0], r.pos());
    else if (out.start_address[0] > image.size())
      res.addLayoutMismatch(fileName, "ExtensionData start address", out.start_address[0], image.size());
  }
  return res;
}

core::ReadResult readBdjObjectFile(const std::filesystem::path& file, BdjObject& bdjo, core::Log& log) {
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(file, image, err)) {
    log.stage("Reading [bl]" + file.filename().string() + "[/bl]");
    log.error(err);
    bdjo = BdjObject{};
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, file.filename().string() + ": " + err);
  }
  return readBdjObject(image, file.filename().string(), bdjo, log);
}

namespace {
std::string hex(uint64_t v, int digits) {
  return core::hexText(v, digits);
}
}  // namespace

const std::vector<std::string> kHeadAppCache = {"entry type", "ref to name", "language"};
const std::vector<std::string> kHeadPlayLists = {"PlayList"};
const std::vector<std::string> kHeadApplications = {"ctrl",     "type",     "orgID",         "appID",
                                                    "tag",      "prior",    "bind",          "visib",
                                                    "icon_loc", "base_dir", "classpath_ext", "init_classn.",
                                                    "pr.",      "na.",      "pa."};
const std::vector<std::string> kHeadProfiles = {"profile", "version"};
const std::vector<std::string> kHeadNames = {"lang", "name"};
const std::vector<std::string> kHeadParameters = {"parameter"};

GridRows appCacheRows(const BdjObject& b) {
  GridRows rows;
  const auto& v = b.appCacheInfo.entries;
  for (size_t i = 0; i < v.size(); ++i)
    rows.push_back({std::to_string(i), std::to_string(v[i].entryType), v[i].refToName, v[i].language});
  return rows;
}

GridRows playListRows(const BdjObject& b) {
  GridRows rows;
  const auto& v = b.accessiblePlaylists.playlists;
  for (size_t i = 0; i < v.size(); ++i) rows.push_back({std::to_string(i), v[i]});
  return rows;
}

GridRows applicationRows(const BdjObject& b) {
  GridRows rows;
  const auto& v = b.applicationTable.applications;
  for (size_t i = 0; i < v.size(); ++i) {
    const auto& a = v[i];
    rows.push_back({std::to_string(i), std::to_string(a.controlCode), std::to_string(a.type),
                    hex(a.organizationId, 8), hex(a.applicationId, 4), hex(a.descriptorTag, 2),
                    std::to_string(a.priority), std::to_string(a.binding), std::to_string(a.visibility),
                    a.iconLocator, a.baseDirectory, a.classpathExtension, a.initialClassName,
                    std::to_string(a.profiles.size()), std::to_string(a.names.size()),
                    std::to_string(a.parameters.size())});
  }
  return rows;
}

GridRows profileRows(const Application& a) {
  GridRows rows;
  for (size_t i = 0; i < a.profiles.size(); ++i) {
    const auto& p = a.profiles[i];
    rows.push_back({std::to_string(i + 1), hex(p.profile, 4),
                    std::to_string(p.major) + "." + std::to_string(p.minor) + "." + std::to_string(p.micro)});
  }
  return rows;
}

GridRows nameRows(const Application& a) {
  GridRows rows;
  for (size_t i = 0; i < a.names.size(); ++i) rows.push_back({std::to_string(i + 1), a.names[i].language, a.names[i].name});
  return rows;
}

GridRows parameterRows(const Application& a) {
  GridRows rows;
  for (size_t i = 0; i < a.parameters.size(); ++i) rows.push_back({std::to_string(i + 1), a.parameters[i].text});
  return rows;
}

const std::vector<KeyFlag>& keyInterestFlags() {
  static const std::vector<KeyFlag> f = {{31, "Play"},      {30, "Stop"},      {29, "FFW"},       {28, "REW"},
                                         {27, "Next"},      {26, "Prev."},     {25, "Pause"},     {24, "Still off"},
                                         {23, "sec.audio"}, {22, "sec.video"}, {21, "PG TextST"}};
  return f;
}

std::vector<std::string> keyInterestSet(uint32_t keys) {
  std::vector<std::string> out;
  for (const auto& f : keyInterestFlags())
    if (keys >> f.bit & 1) out.push_back(f.caption);
  return out;
}

}  // namespace morvex::bdj

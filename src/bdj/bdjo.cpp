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
  unsigned n = r.readbyte();
  return r.readstring(n);
}

void readApplication(Reader& r, Tapplication& a) {
  a.control_code = r.readbyte();
  a.type = r.readbyte();
  a.organization_id = r.readlong();
  a.application_id = r.readword();
  a.descriptor_tag = r.readbyte();
  r.skip(1);
  a.descriptor_length = r.readlong();
  r.skip(4);
  a.profile_count = uint8_t(r.readword() >> 12);
  for (unsigned i = 0; i < a.profile_count && !r.overrun(); ++i) {
    Tprofile p;
    p.profile = r.readword();
    p.major = r.readbyte();
    p.minor = r.readbyte();
    p.micro = r.readbyte();
    r.skip(1);
    a.profiles.push_back(p);
  }
  a.priority = r.readbyte();
  uint8_t b = r.readbyte();
  a.binding = (b >> 6) & 3;
  a.visibility = (b >> 4) & 3;
  a.names_length = r.readword();
  // Names are read while bytes of the block remain; a name that runs past the block's
  // end is still read whole and ends the block.
  int32_t left = a.names_length;
  while (left > 0 && !r.overrun()) {
    Tapplication_name n;
    n.language = r.readstring(3);
    unsigned len = r.readbyte();
    n.name = r.readstring(len);
    left -= int32_t(len) + 4;
    if (r.overrun()) break;
    a.names.push_back(std::move(n));
  }
  pad(r);
  a.icon_locator = lengthText(r);
  pad(r);
  a.icon_flags = r.readword();
  a.base_directory = lengthText(r);
  pad(r);
  a.classpath_extension = lengthText(r);
  pad(r);
  a.initial_class_name = lengthText(r);
  pad(r);
  a.parameters_length = r.readbyte();
  int32_t pleft = a.parameters_length;
  while (pleft > 0 && !r.overrun()) {
    Tparameter p;
    unsigned len = r.readbyte();
    p.text = r.readstring(len);
    pleft -= int32_t(len) + 1;
    if (r.overrun()) break;
    a.parameters.push_back(std::move(p));
  }
  pad(r);
}

}  // namespace

core::ReadResult readBDJO(const core::Bytes& image, const std::string& fileName, TBDJO& out, core::Log& log) {
  core::ReadResult res;
  log.dlog0("Reading [bl]" + fileName + "[/bl]");
  out = TBDJO{};
  Reader r(image);
  out.type_indicator = r.readstring(4);
  out.version = r.readstring(4);
  if (out.type_indicator != "BDJO" || (out.version != "0100" && out.version != "0200")) {
    if (out.type_indicator == "BDJO" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, out.version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a BD-J object file");
    return res;
  }
  uint64_t sectionStart = 0;
  const char* section = "TerminalInfo";
  auto truncated = [&] {
    log.erlog("Unexpected end of file: " + fileName);
    res.addCutShort(fileName, section, sectionStart, image.size());
    return res;
  };
  for (auto& a : out.start_address) a = r.readlong();
  r.skip(16);
  auto& ti = out.TerminalInfo;
  ti.length = r.readlong();
  ti.default_font = r.readstring(5);
  uint8_t b = r.readbyte();
  ti.initial_HAVi_configuration_id = b >> 4;
  ti.menu_call_mask = b & 0x08;
  ti.title_search_mask = b & 0x04;
  r.skip(4);
  if (r.overrun()) return truncated();

  sectionStart = out.start_address[1];
  section = "AppCacheInfo";
  r.seek(out.start_address[1]);
  out.AppCacheInfo.length = r.readlong();
  unsigned n = r.readbyte();
  r.skip(1);
  for (unsigned i = 0; i < n && !r.overrun(); ++i) {
    TAppCacheEntry e;
    e.entry_type = r.readbyte();
    e.ref_to_name = r.readstring(5);
    e.language = r.readstring(3);
    r.skip(3);
    if (r.overrun()) break;
    out.AppCacheInfo.entries.push_back(e);
  }
  if (r.overrun()) return truncated();

  sectionStart = out.start_address[2];
  section = "TableOfAccessiblePlayLists";
  r.seek(out.start_address[2]);
  auto& pl = out.TableOfAccessiblePlayLists;
  pl.length = r.readlong();
  uint16_t w = r.readword();
  pl.access_to_all = w & 0x10;
  pl.autostart_first_PlayList = w & 0x08;
  r.skip(2);
  for (unsigned i = 0; i < unsigned(w >> 5) && !r.overrun(); ++i) {
    std::string name = r.readstring(5);
    r.skip(1);
    if (r.overrun()) break;
    pl.playlists.push_back(name);
  }
  if (r.overrun()) return truncated();

  sectionStart = out.start_address[3];
  section = "ApplicationManagementTable";
  r.seek(out.start_address[3]);
  auto& amt = out.ApplicationManagementTable;
  amt.length = r.readlong();
  n = r.readbyte();
  r.skip(1);
  for (unsigned i = 0; i < n && !r.overrun(); ++i) {
    Tapplication a;
    readApplication(r, a);
    amt.applications.push_back(std::move(a));  // kept even when cut short: shown as far as read
  }
  if (r.overrun()) return truncated();

  sectionStart = out.start_address[4];
  section = "KeyInterestTable";
  r.seek(out.start_address[4]);
  out.key_interest = r.readlong();
  if (r.overrun()) return truncated();

  sectionStart = out.start_address[5];
  section = "FileAccessInfo";
  r.seek(out.start_address[5]);
  unsigned len = r.readword();
  out.directory_paths = r.readstring(len);
  if (r.overrun()) return truncated();
  return res;
}

core::ReadResult readBDJOFile(const std::filesystem::path& file, TBDJO& bdjo, core::Log& log) {
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(file, image, err)) {
    log.dlog0("Reading [bl]" + file.filename().string() + "[/bl]");
    log.erlog(err);
    bdjo = TBDJO{};
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, file.filename().string() + ": " + err);
  }
  return readBDJO(image, file.filename().string(), bdjo, log);
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

GridRows appCacheRows(const TBDJO& b) {
  GridRows rows;
  const auto& v = b.AppCacheInfo.entries;
  for (size_t i = 0; i < v.size(); ++i)
    rows.push_back({std::to_string(i), std::to_string(v[i].entry_type), v[i].ref_to_name, v[i].language});
  return rows;
}

GridRows playListRows(const TBDJO& b) {
  GridRows rows;
  const auto& v = b.TableOfAccessiblePlayLists.playlists;
  for (size_t i = 0; i < v.size(); ++i) rows.push_back({std::to_string(i), v[i]});
  return rows;
}

GridRows applicationRows(const TBDJO& b) {
  GridRows rows;
  const auto& v = b.ApplicationManagementTable.applications;
  for (size_t i = 0; i < v.size(); ++i) {
    const auto& a = v[i];
    rows.push_back({std::to_string(i), std::to_string(a.control_code), std::to_string(a.type),
                    hex(a.organization_id, 8), hex(a.application_id, 4), hex(a.descriptor_tag, 2),
                    std::to_string(a.priority), std::to_string(a.binding), std::to_string(a.visibility),
                    a.icon_locator, a.base_directory, a.classpath_extension, a.initial_class_name,
                    std::to_string(a.profiles.size()), std::to_string(a.names.size()),
                    std::to_string(a.parameters.size())});
  }
  return rows;
}

GridRows profileRows(const Tapplication& a) {
  GridRows rows;
  for (size_t i = 0; i < a.profiles.size(); ++i) {
    const auto& p = a.profiles[i];
    rows.push_back({std::to_string(i + 1), hex(p.profile, 4),
                    std::to_string(p.major) + "." + std::to_string(p.minor) + "." + std::to_string(p.micro)});
  }
  return rows;
}

GridRows nameRows(const Tapplication& a) {
  GridRows rows;
  for (size_t i = 0; i < a.names.size(); ++i) rows.push_back({std::to_string(i + 1), a.names[i].language, a.names[i].name});
  return rows;
}

GridRows parameterRows(const Tapplication& a) {
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

// BD-J object files for "dump": every table of the object as text or JSON.
#include <iostream>

#include <nlohmann/json.hpp>

#include "bdj/bdjo.h"
#include "cli/json_text.h"
#include "cli/registry.h"
#include "core/save.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace morvex::cli {

namespace {

void printRows(const std::string& title, const std::vector<std::string>& head, const bdj::GridRows& rows,
               const std::string& indent = "") {
  std::cout << indent << title << '\n' << indent << "  #";
  for (const auto& h : head) std::cout << '\t' << h;
  std::cout << '\n';
  for (const auto& r : rows) {
    std::cout << indent << "  ";
    for (size_t i = 0; i < r.size(); ++i) std::cout << (i ? "\t" : "") << r[i];
    std::cout << '\n';
  }
}

ordered_json toJson(const bdj::BdjObject& b) {
  ordered_json j;
  j["type_indicator"] = b.typeIndicator;
  j["version"] = b.version;
  j["start_addresses"] = ordered_json::array();
  for (auto a : b.start_address) j["start_addresses"].push_back(a);
  const auto& t = b.terminalInfo;
  j["TerminalInfo"] = {{"default_font", t.defaultFont},
                       {"initial_HAVi_configuration_id", t.initialHaviConfigurationId},
                       {"menu_call_mask", t.menuCallMask},
                       {"title_search_mask", t.titleSearchMask}};
  j["AppCacheInfo"] = ordered_json::array();
  for (const auto& e : b.appCacheInfo.entries)
    j["AppCacheInfo"].push_back({{"entry_type", e.entryType}, {"ref_to_name", e.refToName}, {"language", e.language}});
  const auto& pl = b.accessiblePlaylists;
  j["TableOfAccessiblePlayLists"] = {{"access_to_all", pl.accessToAll},
                                     {"autostart_first_PlayList", pl.autostartFirstPlaylist},
                                     {"playlists", pl.playlists}};
  j["applications"] = ordered_json::array();
  for (const auto& a : b.applicationTable.applications) {
    ordered_json aj = {{"control_code", a.controlCode},       {"type", a.type},
                       {"organization_id", a.organizationId}, {"application_id", a.applicationId},
                       {"descriptor_tag", a.descriptorTag},   {"priority", a.priority},
                       {"binding", a.binding},                 {"visibility", a.visibility},
                       {"icon_locator", a.iconLocator},       {"icon_flags", a.iconFlags},
                       {"base_directory", a.baseDirectory},   {"classpath_extension", a.classpathExtension},
                       {"initial_class_name", a.initialClassName}};
    aj["profiles"] = ordered_json::array();
    for (const auto& p : a.profiles)
      aj["profiles"].push_back({{"profile", p.profile}, {"major", p.major}, {"minor", p.minor}, {"micro", p.micro}});
    aj["names"] = ordered_json::array();
    for (const auto& n : a.names) aj["names"].push_back({{"language", n.language}, {"name", n.name}});
    aj["parameters"] = ordered_json::array();
    for (const auto& p : a.parameters) aj["parameters"].push_back(p.text);
    j["applications"].push_back(aj);
  }
  j["key_interest"] = bdj::keyInterestSet(b.keyInterest);
  j["directory_paths"] = b.directoryPaths;
  return j;
}

int dumpBdjo(const fs::path& file, const core::Bytes& bytes, bool json) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  bdj::BdjObject b;
  auto st = bdj::readBdjObject(bytes, file.filename().string(), b, log);
  if (!acceptRead(st)) return 1;
  if (json) {
    ordered_json j = toJson(b);
    if (st.partial()) j["truncated"] = true;
    std::cout << jsonText(j) << '\n';
    return st.complete() ? 0 : 1;
  }
  const auto& t = b.terminalInfo;
  std::cout << core::displayPath(file) << ": " << b.typeIndicator << " " << b.version << '\n';
  std::cout << "Default font: " << t.defaultFont << "  Initial HAVi configuration id: " << int(t.initialHaviConfigurationId)
            << "  Menu call mask: " << (t.menuCallMask ? "on" : "off")
            << "  Title search mask: " << (t.titleSearchMask ? "on" : "off") << '\n';
  printRows("CacheInfo", bdj::kHeadAppCache, bdj::appCacheRows(b));
  std::cout << "Acces to all: " << (b.accessiblePlaylists.accessToAll ? "on" : "off")
            << "  Autostart first PL: " << (b.accessiblePlaylists.autostartFirstPlaylist ? "on" : "off") << '\n';
  printRows("Accessible PlayLists", bdj::kHeadPlayLists, bdj::playListRows(b));
  printRows("ApplicationManagementTable", bdj::kHeadApplications, bdj::applicationRows(b));
  const auto& apps = b.applicationTable.applications;
  for (size_t i = 0; i < apps.size(); ++i) {
    std::cout << "Application " << i << '\n';
    printRows("Profiles", bdj::kHeadProfiles, bdj::profileRows(apps[i]), "  ");
    printRows("Names", bdj::kHeadNames, bdj::nameRows(apps[i]), "  ");
    printRows("Parameters", bdj::kHeadParameters, bdj::parameterRows(apps[i]), "  ");
  }
  std::cout << "KeyInterestTable:";
  auto keys = bdj::keyInterestSet(b.keyInterest);
  for (size_t i = 0; i < keys.size(); ++i) std::cout << (i ? ", " : " ") << keys[i];
  std::cout << '\n' << "FileAccessInfo: " << b.directoryPaths << '\n';
  return st.complete() ? 0 : 1;
}

CommandRegistrar reg(55, [](CLI::App&) {
  registerFileKind(FileKind{
      "BD-J object",
      [](const fs::path&, const core::Bytes& b) { return hasTypeIndicator(b, "BDJO"); },
      dumpBdjo,
      nullptr,
  });
});

}  // namespace

}  // namespace morvex::cli

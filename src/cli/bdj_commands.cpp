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

ordered_json toJson(const bdj::TBDJO& b) {
  ordered_json j;
  j["type_indicator"] = b.type_indicator;
  j["version"] = b.version;
  j["start_addresses"] = ordered_json::array();
  for (auto a : b.start_address) j["start_addresses"].push_back(a);
  const auto& t = b.TerminalInfo;
  j["TerminalInfo"] = {{"default_font", t.default_font},
                       {"initial_HAVi_configuration_id", t.initial_HAVi_configuration_id},
                       {"menu_call_mask", t.menu_call_mask},
                       {"title_search_mask", t.title_search_mask}};
  j["AppCacheInfo"] = ordered_json::array();
  for (const auto& e : b.AppCacheInfo.entries)
    j["AppCacheInfo"].push_back({{"entry_type", e.entry_type}, {"ref_to_name", e.ref_to_name}, {"language", e.language}});
  const auto& pl = b.TableOfAccessiblePlayLists;
  j["TableOfAccessiblePlayLists"] = {{"access_to_all", pl.access_to_all},
                                     {"autostart_first_PlayList", pl.autostart_first_PlayList},
                                     {"playlists", pl.playlists}};
  j["applications"] = ordered_json::array();
  for (const auto& a : b.ApplicationManagementTable.applications) {
    ordered_json aj = {{"control_code", a.control_code},       {"type", a.type},
                       {"organization_id", a.organization_id}, {"application_id", a.application_id},
                       {"descriptor_tag", a.descriptor_tag},   {"priority", a.priority},
                       {"binding", a.binding},                 {"visibility", a.visibility},
                       {"icon_locator", a.icon_locator},       {"icon_flags", a.icon_flags},
                       {"base_directory", a.base_directory},   {"classpath_extension", a.classpath_extension},
                       {"initial_class_name", a.initial_class_name}};
    aj["profiles"] = ordered_json::array();
    for (const auto& p : a.profiles)
      aj["profiles"].push_back({{"profile", p.profile}, {"major", p.major}, {"minor", p.minor}, {"micro", p.micro}});
    aj["names"] = ordered_json::array();
    for (const auto& n : a.names) aj["names"].push_back({{"language", n.language}, {"name", n.name}});
    aj["parameters"] = ordered_json::array();
    for (const auto& p : a.parameters) aj["parameters"].push_back(p.text);
    j["applications"].push_back(aj);
  }
  j["key_interest"] = bdj::keyInterestSet(b.key_interest);
  j["directory_paths"] = b.directory_paths;
  return j;
}

int dumpBdjo(const fs::path& file, const core::Bytes& bytes, bool json) {
  ConsoleLog log(ConsoleLog::Show::ErrorsOnly);
  bdj::TBDJO b;
  auto st = bdj::readBDJO(bytes, file.filename().string(), b, log);
  if (!acceptRead(st)) return 1;
  if (json) {
    ordered_json j = toJson(b);
    if (st.partial()) j["truncated"] = true;
    std::cout << jsonText(j) << '\n';
    return st.complete() ? 0 : 1;
  }
  const auto& t = b.TerminalInfo;
  std::cout << core::displayPath(file) << ": " << b.type_indicator << " " << b.version << '\n';
  std::cout << "Default font: " << t.default_font << "  Initial HAVi configuration id: " << int(t.initial_HAVi_configuration_id)
            << "  Menu call mask: " << (t.menu_call_mask ? "on" : "off")
            << "  Title search mask: " << (t.title_search_mask ? "on" : "off") << '\n';
  printRows("CacheInfo", bdj::kHeadAppCache, bdj::appCacheRows(b));
  std::cout << "Acces to all: " << (b.TableOfAccessiblePlayLists.access_to_all ? "on" : "off")
            << "  Autostart first PL: " << (b.TableOfAccessiblePlayLists.autostart_first_PlayList ? "on" : "off") << '\n';
  printRows("Accessible PlayLists", bdj::kHeadPlayLists, bdj::playListRows(b));
  printRows("ApplicationManagementTable", bdj::kHeadApplications, bdj::applicationRows(b));
  const auto& apps = b.ApplicationManagementTable.applications;
  for (size_t i = 0; i < apps.size(); ++i) {
    std::cout << "Application " << i << '\n';
    printRows("Profiles", bdj::kHeadProfiles, bdj::profileRows(apps[i]), "  ");
    printRows("Names", bdj::kHeadNames, bdj::nameRows(apps[i]), "  ");
    printRows("Parameters", bdj::kHeadParameters, bdj::parameterRows(apps[i]), "  ");
  }
  std::cout << "KeyInterestTable:";
  auto keys = bdj::keyInterestSet(b.key_interest);
  for (size_t i = 0; i < keys.size(); ++i) std::cout << (i ? ", " : " ") << keys[i];
  std::cout << '\n' << "FileAccessInfo: " << b.directory_paths << '\n';
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

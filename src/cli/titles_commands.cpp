// "titles DIR": the navigation map of a disc. For First Play, the Top Menu and every
// title, the playlists its programs and menus play, in order, and the feature (the
// longest of them); then the playlists nothing reaches.
#include <algorithm>
#include <iostream>

#include <nlohmann/json.hpp>

#include "cli/json_text.h"
#include "cli/registry.h"
#include "core/text.h"
#include "disc/nav_map.h"
#include "playlist/grid_text.h"

namespace morvex::cli {
namespace {

struct NavigationMapArgs {
  std::string dir;
  bool json = false;
  bool use83 = false;
  std::vector<std::string> sets;
};

// "PSR20=4", "PSR16=0x667261": a player status register and its value (decimal or
// 0x hexadecimal).
bool parsePsrSetting(const std::string& text, std::pair<int, uint32_t>& out) {
  const auto eq = text.find('=');
  std::string name = eq == std::string::npos ? text : text.substr(0, eq);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
  std::optional<int> number;
  if (name.rfind("PSR", 0) == 0) number = hdmv::panelRegisterNumber(hdmv::RegFile::Psr, name.substr(3));
  std::optional<uint64_t> value;
  if (number && eq != std::string::npos) value = core::parseNumber(text.substr(eq + 1), 0xFFFFFFFFull);
  if (!value) {
    fail("--set " + text + ": expected PSRn=value (n 0-127)", 2);
    return false;
  }
  out = {*number, uint32_t(*value)};
  return true;
}

nlohmann::json entryJson(const disc::EntryWalk& e) {
  nlohmann::json j;
  j["title"] = e.title;  // the index's number: 65535 First Play, 0 Top Menu
  j["label"] = e.label;
  if (e.hdmv) {
    j["object"] = e.object >= 0 ? nlohmann::json(e.object) : nlohmann::json(nullptr);
  } else {
    putText(j, "bdjObject", e.bdjObject);
  }
  j["playlists"] = e.playlists;
  j["feature"] = e.feature.empty() ? nlohmann::json(nullptr) : nlohmann::json(e.feature);
  j["objects"] = e.objects;
  j["loops"] = e.loops;
  j["truncated"] = e.truncated;
  return j;
}

std::string entryText(const disc::EntryWalk& e, const disc::NavigationMap& map) {
  std::string s = e.label + ": ";
  if (!e.hdmv) return s + "BD-J object " + e.bdjObject;
  if (e.object < 0) return s + "no object";
  s += "object " + std::to_string(e.object);
  if (e.playlists.empty()) {
    s += ", plays nothing";
  } else {
    s += ", plays";
    for (const auto& p : e.playlists) s += " " + p;
    const auto* f = map.facts(e.feature);
    s += "; feature " + e.feature;
    if (f && f->readable) s += " (" + playlist::ticks2time(uint32_t(f->duration)) + ")";
  }
  if (e.loops) s += "; loops";
  if (e.truncated) s += "; walk cut short";
  return s;
}

void titles(const NavigationMapArgs& a) {
  disc::WalkOptions options;
  for (const auto& s : a.sets) {
    std::pair<int, uint32_t> v;
    if (!parsePsrSetting(s, v)) return;
    options.psrValues.push_back(v);
  }
  disc::NavigationDisc nd;
  disc::NavigationLoadOptions lo;
  lo.use83names = a.use83;
  const auto load = disc::loadNavigationDisc(a.dir, nd, lo);
  if (!load.loaded) {
    fail(load.failure);
    return;
  }
  bool whole = true;
  for (const auto& r : load.reads)
    if (!acceptRead(r.result)) whole = false;
  if (!whole && !forced()) return;

  const auto map = disc::walkNavigation(nd, options);
  if (a.json) {
    nlohmann::json j;
    j["firstPlay"] = entryJson(map.entries[0]);
    j["topMenu"] = entryJson(map.entries[1]);
    nlohmann::json list = nlohmann::json::array();
    for (size_t i = 2; i < map.entries.size(); ++i) list.push_back(entryJson(map.entries[i]));
    j["titles"] = list;
    j["unreachable"] = map.unreachablePlaylists;
    j["unreachableObjects"] = map.unreachableObjects;
    std::cout << jsonText(j) << '\n';
    return;
  }
  for (const auto& e : map.entries) std::cout << entryText(e, map) << '\n';
  std::cout << "Unreachable playlists:";
  if (map.unreachablePlaylists.empty()) std::cout << " none";
  for (const auto& p : map.unreachablePlaylists) std::cout << ' ' << p;
  std::cout << '\n';
  if (!map.unreachableObjects.empty()) {
    std::cout << "Movie objects nothing runs:";
    for (int o : map.unreachableObjects) std::cout << ' ' << o;
    std::cout << '\n';
  }
}

static CommandRegistrar reg(7, [](CLI::App& app) {
  static NavigationMapArgs a;
  auto* cmd = app.add_subcommand("titles", "What First Play, the Top Menu and each title play; the feature of each");
  cmd->add_option("DIR", a.dir, "disc folder (the disc root or its BDMV folder)")->required();
  cmd->add_flag("--json", a.json, "print the map as JSON (firstPlay, topMenu, titles, unreachable)");
  cmd->add_option("--set", a.sets, "set a player status register before the walk: PSR20=4, PSR18=0x667261")
      ->take_all();
  cmd->add_flag("--83", a.use83, "use 8.3 file names");
  cmd->callback([] { titles(a); });
});

}  // namespace
}  // namespace morvex::cli

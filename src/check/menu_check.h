#pragma once
// Pieces of the disc checker shared by its parts: where findings go, what is known
// about the disc while commands are checked, and the menu checks.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "check/checker.h"
#include "clip/clpi.h"
#include "hdmv/command.h"
#include "igs/model.h"
#include "playlist/mpls.h"

namespace morvex::check {

// Findings of one file.
struct Sink {
  std::string file;
  std::vector<Finding>& out;
  void add(core::Severity s, std::string code, std::string location, std::string message);
  void addAt(core::Severity s, std::string code, uint64_t offset, std::string message);
};

// What the command checks may compare against; an unknown fact skips its check.
struct DiscFacts {
  std::optional<size_t> objects;  // movie objects
  std::optional<size_t> titles;   // titles of the index
  const std::set<std::string>* playlistFiles = nullptr;               // names present
  const std::map<std::string, playlist::Playlist>* playlists = nullptr;  // readable ones
  std::string playlistExt = ".mpls";
};

std::string offsetText(uint64_t offset);

// Decodes every command; invalid and forbidden ones, GoTo past the program's end,
// and immediate jumps, calls and plays to objects, titles, playlists, PlayItems and
// marks that do not exist. `where` names the program ("object 3", "page 0, button 2").
void checkCommands(Sink& sink, const hdmv::CommandList& cmds, hdmv::CmdContext ctx, const std::string& where,
                   const DiscFacts& facts);

// The checks of one loaded menu, reported under `file`.
void checkMenu(std::vector<Finding>& out, const std::string& file, const igs::Menu& menu, const DiscFacts& facts);

// The IG streams a clip declares, read from its stream file `streamRel` (relative to
// `folder`) and checked.
void checkStreamMenus(std::vector<Finding>& out, const std::filesystem::path& folder, const std::string& streamRel,
                      const clip::ClipInfo& clip, const DiscFacts& facts);

// A menu file given by the user.
void checkMenuFile(std::vector<Finding>& out, const std::filesystem::path& file, const DiscFacts& facts);

}  // namespace morvex::check

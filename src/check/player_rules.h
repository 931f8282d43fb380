#pragma once
// What a player needs of a disc before it shows a menu, checked across files:
//  - the IG stream is chosen only from the current PlayItem's stream table (main path
//    or SubPath) and the IG stream number; clip information and PMT are not consulted,
//    so an IG stream no stream table lists is never shown, and a listed PID the clip
//    lacks shows nothing;
//  - IG packets stamped before the PlayItem's IN time or at/after its OUT time are
//    dropped, so a menu whose first composition lies outside every IN-OUT range of the
//    PlayItems playing its clip is never shown;
//  - the clip information must match the stream, and an empty EP map makes players
//    fail on key input;
//  - a playlist whose stream file is missing cannot play: an error when a title can
//    reach it, a warning otherwise;
//  - within one IG PID composition time stamps never go back, the first display set
//    is an epoch start, and the PMT declares the stream with its registration.
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "check/checker.h"
#include "clip/clpi.h"
#include "nav/index.h"
#include "nav/movie_object.h"
#include "playlist/mpls.h"

namespace morvex::check {

struct PlayerRuleInput {
  std::filesystem::path folder;  // the BDMV folder
  std::string streamExt = ".m2ts", clipExt = ".clpi", playlistExt = ".mpls";
  const nav::IndexTable* index = nullptr;         // when read
  const nav::MovieObjectFile* mobj = nullptr;     // when read
  const std::map<std::string, playlist::Playlist>* playlists = nullptr;
  const std::map<std::string, clip::ClipInfo>* clips = nullptr;
  bool readStreams = true;  // the rules that read stream files
};

// Playlists a title (First Playback and Top Menu included) can reach through the
// movie objects' immediate jumps, calls and plays.
std::set<std::string> reachablePlaylists(const nav::IndexTable& index, const nav::MovieObjectFile& mobj);

// The findings of the rules above, appended to `out`.
void checkPlayerRules(std::vector<Finding>& out, const PlayerRuleInput& in);

// What the IG PIDs of a stream file show a player, read packet by packet.
struct IgStreamFacts {
  struct Pid {
    bool declared = false;       // the PMT lists it with stream type 0x91
    bool registration = false;   // ... and a registration descriptor
    std::vector<uint64_t> compositionPts;  // every composition segment's PTS, in order
    int firstState = -1;         // composition_state of the first composition (2 = epoch start)
  };
  bool read = false;
  bool pmtSeen = false;
  std::map<uint16_t, Pid> pids;  // IG PIDs (0x1400..0x141F) found in the PMT or the packets
};
IgStreamFacts readIgStreamFacts(const std::filesystem::path& stream);

}  // namespace morvex::check

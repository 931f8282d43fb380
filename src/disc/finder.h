#pragma once
// Cross references of a disc folder: which movie-object commands start a playlist, and
// which playlists play each clip (and which stream files they name are missing).
#include <string>
#include <vector>

#include "clip/clpi_text.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/progress.h"
#include "disc/disc_load.h"
#include "nav/movie_object.h"

namespace morvex::disc {

// The numeric value of a five-digit name ("00012" -> 12); -1 when it is not a number.
int playlistNumber(const std::string& name);

// "Object oooo, Command line cccc" for every command that plays playlist `number` with
// the playlist given as an immediate value (Play PL, Play PL_PI and Play PL_MK in their
// immediate forms). Commands taking the playlist from a register are not found.
std::vector<std::string> findPlaylistCommands(const nav::MovieObjectFile& mobj, int number);

// Logs an empty line, "PlayList [b]name[/b] found in:" and the match lines (plain).
void logPlaylistCommands(core::Log& log, const std::string& playlistName, const std::vector<std::string>& lines);

struct ClipSearchResult {
  size_t playlistsRead = 0;
  size_t playlistsRejected = 0;  // not playlists (wrong type or version): skipped
  size_t missingStreams = 0;     // error lines logged
  // The playlists that were refused or read only in part (a partial one still adds
  // the references it holds).
  std::vector<core::ReadResult> problems;
};

// Reads every playlist of the disc, each into a model of its own (the playlist the
// user has open is neither replaced nor touched), and fills disc.ciRefs: for each
// PlayItem (P, "p", n) and each SubPlayItem (P, "s", k) under the clip that item plays.
// A missing stream file is logged as "Missing stream file referenced by <name>.mpls,
// PlayItem n" (or ", SubPath s, SubPlayItem k"). A playlist the reader rejects adds
// nothing. Progress counts playlists.
ClipSearchResult findClipReferences(DiscLoad& disc, core::Log& log, core::Progress* progress = nullptr);

// The "Referenced by" rows of one clip: number from 1, playlist (5 digits), kind, item.
clip::GridRows ciRefRows(const ClipInfoRefs& refs);

// What a double click on a "Referenced by" row does: read the playlist named in column
// 1, and for a PlayItem row whose item is above "00000" select PlayItem row item + 1.
struct RefJump {
  std::string playlist;
  int playItemRow = -1;  // -1: leave the selection as the reader set it
};
RefJump refJump(const clip::GridRow& row);

}  // namespace morvex::disc

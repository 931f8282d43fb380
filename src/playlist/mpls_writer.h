#pragma once
// Writing the playlist model back to a file.
#include <filesystem>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/log.h"
#include "core/save.h"
#include "core/write_result.h"
#include "playlist/mpls.h"

namespace morvex::playlist {

// One stream entry (10 bytes) and one attributes block (6 bytes) at `offset`.
void writeEntry(core::ByteWriter& out, const StreamEntry& e, size_t offset);
void writeAttributes(core::ByteWriter& out, const StreamAttributes& a, size_t offset);

// Where the writer puts the sections: back to back after the header, in the order
// PlaylistAppInfo, PlayList, (a pad byte when the PlayList part is odd) PlayListMark,
// ExtensionData. For a playlist whose held start addresses describe that layout
// (every file read contiguously, and every edit keeps them so) these equal the held
// addresses.
struct MplsLayout {
  uint32_t playListStart = 0;
  uint32_t markStart = 0;
  uint32_t extDataStart = 0;  // 0 when the model has no ExtensionData address
  uint32_t fileSize = 0;
};
MplsLayout mplsLayout(const Playlist& model);

// Every stored length, count and start address that does not describe the file as
// writePlaylist lays it out, one line each ("PlayItem 2: STN length 130, written 146").
// Empty for a consistent model: every edit keeps it so.
std::vector<std::string> layoutMismatches(const Playlist& model);

// The stored fields of a model just read that disagree with what was read, one line
// each ("AppInfoPlayList length 4294967280, read 14"): the section lengths and the
// counts exactly; a start address may lie past the end of the section before it (some
// authoring tools leave a gap) but never inside it. The PlayItem and SubPlayItem
// lengths are not used to find anything and are written back as stored.
std::vector<std::string> readLayoutMismatches(const Playlist& model);

// Sets every length, count and start address from the lists, as the writer lays the
// file out (the mark start address stays 0 when it is 0). For building a playlist from
// scratch; edits keep the stored values in step themselves.
void updateLengths(Playlist& model);

// The file image of the model. Lengths and counts are written as held. The start
// addresses are written as held when they agree with the layout above; a file read
// with gaps or its sections in another order is written back to back, and its
// header then names where the sections now lie, so the written file reads back.
core::Bytes writePlaylist(const Playlist& model);

// Saves the model as <folder>/<fileName> through the saving policy, logging "Saving "
// + the file name (a playlist of a disc lies in <BDMV folder>/PLAYLIST, named
// <name><playlistext>).
core::WriteResult savePlaylist(const Playlist& model, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log);

}  // namespace morvex::playlist

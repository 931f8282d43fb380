#pragma once
// Reading a playlist file into the model.
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/log.h"
#include "core/read_result.h"
#include "playlist/mpls.h"

namespace morvex::playlist {

struct ReadOptions {
  // Silent reading (the cross-reference finder): the opening "Reading" line, an
  // "Invalid format: " error and the read positions still appear, but the closing
  // summary is not logged and the status line is not cleared.
  bool silent = false;
};

// Reads a playlist image. `fileName` is the name used in the messages. On success and
// on a short file (partial) the model is replaced by what was read (lists hold the
// items read, never more than their counts). On an invalid type indicator or version
// (refused) only the model's type indicator and version change.
core::ReadResult readPlaylist(const core::Bytes& image, const std::string& fileName, Playlist& model, core::Log& log,
                          ReadOptions options = {});

// Reads the playlist file at `path` (messages name it as displayPath shows it). A file
// that cannot be read is reported with the system's message and leaves the model
// unchanged.
core::ReadResult readPlaylistFile(const std::filesystem::path& path, Playlist& model, core::Log& log,
                              ReadOptions options = {});

// The closing summary line: "[b]N[/b] PlayItem(s), [b]S[/b] SubPath(s) and [b]M[/b]
// PlayListMark(s) found.".
std::string readSummary(const Playlist& model);

}  // namespace morvex::playlist

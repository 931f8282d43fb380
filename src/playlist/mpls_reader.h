#pragma once
// Reading a playlist file into the model.
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/log.h"
#include "playlist/mpls.h"

namespace morvex::playlist {

enum class ReadStatus {
  Ok,
  InvalidFormat,  // wrong type indicator or version: nothing past them was read
  Truncated,      // the file ended before the reader was done: what was read is kept
  OpenFailed,     // the file could not be read at all
};

struct ReadOptions {
  // Silent reading (the cross-reference finder): the opening "Reading" line, an
  // "Invalid format: " error and the read positions still appear, but the closing
  // summary is not logged and the status line is not cleared.
  bool silent = false;
};

// Reads a playlist image. `fileName` is the name used in the messages. On success and
// on a short file the model is replaced by what was read (lists hold the items read,
// never more than their counts). On an invalid type indicator or version only the
// model's type indicator and version change.
ReadStatus readMPLS(const core::Bytes& image, const std::string& fileName, core::Log& log, TMPLS& model,
                    ReadOptions options = {});

// Reads the playlist file at `path` (messages name it as displayPath shows it). A file
// that cannot be read is reported with the system's message and leaves the model
// unchanged.
ReadStatus readMPLSFile(const std::filesystem::path& path, core::Log& log, TMPLS& model, ReadOptions options = {});

// The closing summary line: "[b]N[/b] PlayItem(s), [b]S[/b] SubPath(s) and [b]M[/b]
// PlayListMark(s) found.".
std::string readSummary(const TMPLS& model);

}  // namespace morvex::playlist

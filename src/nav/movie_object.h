#pragma once
// MovieObject.bdmv: the HDMV movie objects, small programs of navigation commands that
// titles, First Playback and Top Menu run.
//
// Layout (big-endian):
//   0  "MOBJ"   4 version "0100"/"0200"/"0300"   8 ExtensionData start   12 28 reserved bytes
//  40  MovieObjects length   44 reserved word   48 number of objects (2)
//  50  the objects: flags word (bit 15 resume intention, bit 14 menu call mask,
//      bit 13 title search mask), number of commands (2), 12 bytes per command.
// ExtensionData() follows the last object.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/extension_data.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "core/write_result.h"
#include "hdmv/command.h"

namespace morvex::nav {

// One movie object. The command list's length is the number of commands written.
struct MovieObject {
  uint8_t resumeIntentionFlag = 0;  // 0 "discard", 1 "suspend"
  uint8_t menuCallMask = 0;         // 0 "enable", 1 "disable"
  uint8_t titleSearchMask = 0;      // 0 "enable", 1 "disable"
  hdmv::CommandList commands;
  bool operator==(const MovieObject&) const = default;
};

struct MovieObjectList {
  // Bytes of MovieObjects() after this field: 6 + sum of (4 + 12 x commands). Kept up
  // to date by the editing operations, written as held.
  uint32_t length = 6;
  uint32_t reserved = 0;
  std::vector<MovieObject> objects;  // object i is movie object number i
  bool operator==(const MovieObjectList&) const = default;
};

struct MovieObjectFile {
  std::string typeIndicator = "MOBJ";
  std::string version = "0200";
  uint32_t extensionDataStartAddress = 0;  // 0 = no ExtensionData()
  std::array<uint8_t, 28> reserved{};
  MovieObjectList movieObjects;
  core::ExtensionData extensionData;
  bool operator==(const MovieObjectFile&) const = default;
};

std::string resumeText(uint8_t flag);  // "discard", "suspend"
std::string maskText(uint8_t flag);    // "enable", "disable"

// MovieObjects length recomputed from the objects (what the editing operations keep).
uint32_t movieObjectsLength(const MovieObjectList& objs);

// Reads a movie-object image into `mobj`, logging as the load does. A wrong type or
// version logs "Format error <name>", leaves the object list empty and is refused
// (naming the version). When the file ends inside the object list, the objects read
// so far are kept (the one being read keeps the commands read completely) and the
// result is partial.
core::ReadResult readMovieObjectFile(const core::Bytes& image, const std::string& mobjfile, MovieObjectFile& mobj,
                                  core::Log& log);

// The file image the writer produces; bits 12-0 of each flags word are written as 0.
core::Bytes writeMovieObjectFile(const MovieObjectFile& mobj);

// Saves the model as discFolder/fileName (the folder's movie-object name) through the
// saving policy; with "Save to BACKUP dir" the file is copied to discFolder/BACKUP as well.
core::WriteResult saveMovieObjectFile(const MovieObjectFile& mobj, const std::filesystem::path& discFolder,
                                      const std::string& fileName, const core::SaveSettings& settings, core::Log& log);

}  // namespace morvex::nav

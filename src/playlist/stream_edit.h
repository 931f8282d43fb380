#pragma once
// Editing the stream number table of a PlayItem: inserting and deleting streams with
// the size bookkeeping the writer relies on, and storing one field at a time.
//
// Every stream takes 16 bytes in the file (10 of entry, 6 of attributes); a secondary
// audio stream adds 2 + n bytes of references (+1 when n is odd), a secondary video
// stream 2 + a (+1) + 2 + b (+1). Inserting or deleting one therefore changes the
// STN length, the PlayItem length, the PlayList length, the PlayListMark start
// address and, when the playlist has one, the ExtensionData start address.
#include <optional>
#include <string_view>

#include "playlist/mpls.h"

namespace morvex::playlist {

// Whether the "+" and "-" buttons act for a kind. Inserting exists for primary audio
// (while fewer than 32), PG (fewer than 255) and IG (fewer than 32); deleting for
// every kind but primary video while it has a stream, and primary audio keeps its
// last stream.
bool canInsertStream(const StreamTable& stn, StreamKind kind);
bool canDeleteStream(const StreamTable& stn, StreamKind kind);

// Inserts a stream with the kind's defaults right after `selected` (an index within
// the kind, or -1 for none: the new stream then goes first). Returns the new stream's
// index within the kind, or nothing when inserting is not possible.
std::optional<unsigned> insertStream(Playlist& m, unsigned playItem, StreamKind kind, int selected);

// Bytes a stream of this kind takes in the file.
unsigned streamSize(const StreamTable& stn, StreamKind kind, unsigned index);

// Deletes stream `index` of a kind. Returns the row to select afterwards (one up
// unless it was the first; -1 when the kind is left empty), or nothing when the
// delete is refused.
std::optional<int> deleteStream(Playlist& m, unsigned playItem, StreamKind kind, unsigned index);

// The single-field edits of the stream editors. None changes a length: entries and
// attributes keep their sizes. Each returns false when the stream does not exist.
enum class StreamField {
  EntryType,          // stream type 0..3 (the PID and id fields keep their values)
  MainPID,
  SubPID,
  SubPathId,
  SubClipId,
  CodingType,         // the coding type byte itself (a core::StreamCoding value)
  VideoFormat,
  FrameRate,
  AudioPresentation,
  SamplingFrequency,
  DynamicRangeType,   // HEVC (version 0300) attributes
  ColorSpace,
  CrFlag,
  HdrPlusFlag,
};
bool setStreamField(Playlist& m, unsigned playItem, StreamKind kind, unsigned index, StreamField field,
                    unsigned value);
// The language list has no effect on picture-in-picture PG streams (returns false).
bool setStreamLanguage(Playlist& m, unsigned playItem, StreamKind kind, unsigned index, std::string_view code);

// Which fields of a stream entry can be edited for a stream of this kind and entry type.
struct StreamEditors {
  bool entryType = false, mainPID = false, subPID = false, subPathId = false, subClipId = false;
  bool video = false;     // coding type, video format, frame rate
  bool audio = false;     // coding type, presentation type, sampling frequency
  bool language = false;
};
StreamEditors streamEditors(StreamKind kind, unsigned entryType);

}  // namespace morvex::playlist

#pragma once
// Chapter files: the marks of a playlist as positions on the playlist's own time line
// (its PlayItems laid end to end from 0), one per line, lines ending in CR LF.
//   PTS    the position in 45 kHz ticks, decimal
//   Frame  the position as a video frame number, decimal
//   Time   hh:mm:ss.mmm
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/log.h"
#include "playlist/mpls.h"

namespace morvex::playlist {

enum class ChapterFormat { PTS = 0, Frame = 1, Time = 2 };

// The option's items "PTS", "Frame", "Time" parsed (case-insensitive: "pts",
// "frame", "time").
std::optional<ChapterFormat> parseChapterFormat(std::string_view text);

// The name offered for a playlist's chapter file: "chapter_" + name + "_PTS.txt",
// "_frame.txt" or "_time.txt".
std::string defaultChapterFileName(const std::string& playlistName, ChapterFormat f);

// A frame rate as N / D frames per second, from the frame-rate value of the first
// primary video stream of the first PlayItem (values 1, 2, 3, 4, 6, 7).
struct FrameRatio {
  uint32_t n = 0, d = 0;
};
std::optional<FrameRatio> frameRatio(unsigned frameRateValue);

// Frame numbers are true frame numbers: one second of 24 fps material is frame 24,
// of 23.976 fps material (24000/1001) frame 24 after 1.001 s. A frame converts to its
// start truncated to a tick, as discs store marks, and a tick to the nearest frame, so
// a frame number and a disc's mark both survive export and import.
uint64_t framesFromTicks(uint64_t ticks, FrameRatio r);
uint64_t ticksFromFrames(uint64_t frames, FrameRatio r);

struct ChapterResult {
  bool ok = false;
  std::string error;  // why the operation did nothing
  std::string text;   // export: the file's contents
  // Export: the marks that point nowhere, each named ("mark 3 points at PlayItem 7;
  // ..."): one whose PlayItem does not exist is left out, one before its PlayItem's IN
  // time is written at the PlayItem's start.
  std::vector<std::string> warnings;
};

// The position of every mark on the playlist's time line, in the chosen format. The
// Frame format needs a primary video stream with a defined rate in the first PlayItem
// and fails with a clear message otherwise.
ChapterResult exportChapters(const Playlist& m, ChapterFormat f);

// Replaces all marks by the chapters of `text` (every line one entry mark; a line is
// read as far as it is digits, an empty line is position 0). Each position is placed on
// the PlayItem that contains it (a position on a boundary belongs to the later one;
// positions at or past the end go to the last PlayItem, clamped to its OUT time). A
// line that names a mark already there (the same frame, millisecond or tick, on the
// same PlayItem) keeps that mark's stored time, so a mark nobody moved in the file does
// not move; other lines convert as the format says. The search is logged line by line. The PlayListMark length, the mark count and the
// ExtensionData start address follow. Text without lines changes nothing.
ChapterResult importChapters(Playlist& m, std::string_view text, ChapterFormat f, core::Log& log);

// Most marks an import accepts (the mark list's own limit).
inline constexpr size_t kMaxChapterLines = 999;

}  // namespace morvex::playlist

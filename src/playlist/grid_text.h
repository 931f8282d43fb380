#pragma once
// Playlist texts: time texts, and the rows of every table of a playlist. Front ends
// show these strings as they are; the command line prints them.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/mpls.h"

namespace morvex::playlist {

// 45 kHz ticks as hh:mm:ss.mmm. Milliseconds are ticks / 45 (remainder dropped);
// hours are not wrapped at 24 and take at least two digits.
std::string ticks2time(uint32_t ticks);
// The reverse: digits at positions 1-2 (hours), 4-5 (minutes), 7-8 (seconds) and
// 10-12 (milliseconds); ms * 45 + h * 162000000 + min * 2700000 + s * 45000, in
// 32-bit unsigned arithmetic. Missing or non-digit characters count as nothing.
uint32_t time2ticks(std::string_view text);

// Decimal zero-padded to three.
std::string num3(uint32_t value);

using Row = std::vector<std::string>;

// Header rows (column 0 of the row-numbered grids is an empty header cell).
Row playItemHeader();      // "", "file", "type", "IN time", "OUT time", "length", "UO1", "UO2", "An"
Row angleHeader();         // "", "file", "type", "STC"
Row stnCountHeader();      // "Vi", "Au", "PG", "IG", "sV", "sA", "PIP"
Row streamHeader();        // "", "type", "mPID", "SPid", "sCid", "sPID", "attrib"
Row subPathHeader();       // "", "type", "repeat", "item"
Row subPlayItemHeader();   // "", "file", "type", "conn", "multi", "STC", "IN time", ...
Row markHeader();          // "", "type", "PI", "mark time", "entry PID", "duration"

// Row of PlayItem `index` (row numbers count from 0, as PlayItem references do).
Row playItemRow(const PlayItem& pi, unsigned index);
// One row per angle of a multi-angle PlayItem, numbered from 1; empty otherwise.
std::vector<Row> angleRows(const PlayItem& pi);
// The single data row of the count grid: primary video, primary audio, PG, IG,
// secondary video, secondary audio, picture-in-picture PG (secondary video is shown
// before secondary audio although the file holds secondary audio first).
Row stnCountRow(const StreamTable& stn);
// The rows of the stream grid for one kind, streams numbered from 1.
std::vector<Row> streamRows(const StreamTable& stn, StreamKind kind);
Row streamRow(const Stream& s, StreamKind kind, unsigned index);
// The attributes column alone.
std::string streamAttributesText(const StreamAttributes& a, StreamKind kind);
Row subPathRow(const SubPath& sp, unsigned index);
Row subPlayItemRow(const SubPlayItem& s, unsigned index);
// Multi-clip entries of a SubPlayItem, numbered from 1; empty when it has none.
std::vector<Row> multiClipRows(const SubPlayItem& s);
// Mark grid row: number, type name, PlayItem reference, time, entry PID, duration.
Row markLine(const Mark& m, unsigned index);

// The 33 user-operation flags: cbUO0..cbUO31 are bit n of the first mask word,
// cbUO2_30 bit 30 of the second.
struct UOBox {
  std::string name;
  std::string hint;
  bool checked = false;
};
std::vector<UOBox> uoBoxes(uint32_t mask1, uint32_t mask2);

}  // namespace morvex::playlist

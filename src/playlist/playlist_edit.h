#pragma once
// Editing a loaded playlist apart from its stream tables: PlaylistAppInfo and the
// user-operation masks, PlayItem cells, SubPaths and SubPlayItems, and marks. Every
// edit that changes the size of a section adjusts the stored lengths and start
// addresses, so the writer can put them down as held.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/mpls.h"

namespace morvex::playlist {

// ---- PlaylistAppInfo -------------------------------------------------------------

// Playback type from the list index (0 Sequential, 1 Random, 2 Shuffle).
void setPlaybackType(Playlist& m, unsigned listIndex);
void setPlaybackCount(Playlist& m, uint16_t count);
// Stores both user-operation words at once.
void setcbUOs(Playlist& m, uint32_t mask1, uint32_t mask2);
// User-operation flag cbUO<n>: sets or clears bit n of the first word.
void setUOBit(Playlist& m, unsigned bit, bool on);
// User-operation flag cbUO2_30: bit 30 of the second word.
void setUO2Bit30(Playlist& m, bool on);
// Leaving the second word's field keeps only bit 30: the word can hold no other bit.
uint32_t uoMask2Accepted(uint32_t typed);
enum class AppFlag { RandomAccess, AudioMix, BypassMixer, SdrConversionNotification };
void setAppFlag(Playlist& m, AppFlag flag, bool on);

// ---- PlayItems -------------------------------------------------------------------

// Questions asked when the IN time of a PlayItem changes, in order; the answers go to
// changeInTime. Empty when the new time equals the old one.
extern const char* const kAskUpdateOut;           // "Do you want to update OUT time?"
extern const char* const kAskUpdateSubPlayItems;  // "Do you want to update SubPlayItems' IN/OUT times?"
extern const char* const kAskUpdateMarks;         // "Do you want to update PlayListMarks' marktimes?"
std::vector<std::string> inTimeQuestions(const Playlist& m, unsigned playItem, uint32_t newIn);

struct InTimeCascade {
  bool updateOut = false;           // move the OUT time by the same amount
  bool updateSubPlayItems = false;  // move every SubPlayItem's IN and OUT
  bool updateMarks = false;         // move the marks of this PlayItem
};
// Sets the IN time; with the cascades, adds (new - old) in 32-bit unsigned arithmetic
// to the chosen times. Returns false when the PlayItem does not exist or the time is
// unchanged.
bool changeInTime(Playlist& m, unsigned playItem, uint32_t newIn, InTimeCascade cascade);

// The fields a PlayItem row shows, in the order of its grid.
enum class PlayItemField { ClipName, CodecId, InTime, OutTime, Length, UoMask1, UoMask2, Angles };

// A typed PlayItem field. Accepted only in the form tabled for the field: file 5
// characters, times 12, mask words 8 hexadecimal digits, never a space; type, length
// and angle count are not editable. The IN time goes through changeInTime with
// `cascade`. Returns true when the model changed.
bool setPlayItemCell(Playlist& m, unsigned playItem, PlayItemField field, std::string_view text,
                     InTimeCascade cascade = {});

// ---- SubPaths --------------------------------------------------------------------

bool canInsertSubPath(const Playlist& m);  // fewer than 255 SubPaths and a PlayItem to copy
// Inserts a SubPath of type 3 with one SubPlayItem copied from the first PlayItem,
// right after `selected` (or first when -1). 40 bytes. Returns its index.
std::optional<unsigned> insertSubPath(Playlist& m, int selected);
// Bytes a SubPath takes: 10 + the sum over its SubPlayItems of (length + 2).
uint32_t subPathSize(const SubPath& sp);
// Deletes SubPath `index`; returns the row to select (-1 when none is left).
std::optional<int> deleteSubPath(Playlist& m, unsigned index);
// SubPath type; any type but 2 also sets the repeat word to 0.
bool setSubPathType(Playlist& m, unsigned index, unsigned type);
// Repeat word = 0 ("No") or 1 ("Yes"); only a type 2 SubPath can repeat.
bool setSubPathRepeat(Playlist& m, unsigned index, bool repeat);

// The fields a SubPlayItem row shows, in the order of its grid.
enum class SubPlayItemField {
  ClipName, CodecId, ConnectionCondition, MultiClip, StcId, InTime, OutTime, SyncPlayItem, SyncStartPts, Angles
};

// A typed SubPlayItem field: file, conn (5 or 6, anything else becomes 1), multi
// ("Y" = yes), STC, IN, OUT, sync PI (modulo 999), sync PTS. The type and the angle
// count are not editable. Returns true when the model changed.
bool setSubPlayItemCell(Playlist& m, unsigned subPath, unsigned item, SubPlayItemField field, std::string_view text);

// ---- Marks -----------------------------------------------------------------------

bool canInsertMark(const Playlist& m);  // a mark section and fewer than 999 marks
// An entry mark (type 1, PlayItem 0, time 0, entry PID 0xFFFF, duration 0) right
// after `selected` (or first when -1); 14 bytes. Returns its index.
std::optional<unsigned> insertMark(Playlist& m, int selected);
// Deletes marks first..last (inclusive). Returns the row to select afterwards (the
// row above the range, 0 when it began at the top; -1 when none is left).
std::optional<int> deleteMarks(Playlist& m, unsigned first, unsigned last);
bool setMarkType(Playlist& m, unsigned index, unsigned listIndex);  // 0 entry-mark, 1 link point
bool setMarkPlayItem(Playlist& m, unsigned index, uint16_t playItem);

// The mark time fields: hours, minutes, seconds, milliseconds.
struct MarkTimeFields {
  int hours = 0, minutes = 0, seconds = 0, milliseconds = 0;
};
MarkTimeFields markTimeFields(uint32_t ticks);
// Clamps the fields (hours 0-25, minutes and seconds 0-59, milliseconds 0-999) and
// returns h * 162000000 + m * 2700000 + s * 45000 + ms * 45.
uint32_t markTime(MarkTimeFields& fields);
bool setMarkTime(Playlist& m, unsigned index, MarkTimeFields fields);

}  // namespace morvex::playlist

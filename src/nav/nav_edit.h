#pragma once
// Editing the index and the movie objects: titles, First Playback and Top Menu,
// movie objects and their commands, with the upkeep of the stored lengths and start
// addresses (12 bytes per title or command, 4 per empty object) and of the title
// references to movie objects. Also the row and label texts of the two tables.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/log.h"
#include "hdmv/command_edit.h"
#include "nav/index.h"
#include "nav/movie_object.h"

namespace morvex::nav {

inline constexpr uint16_t kNoObject = 0xFFFF;

// Titles table: "No.", "object t.", "title search", "playback t.", "OID/file". An
// HDMV title without an object (0xFFFF) shows "??".
std::array<std::string, 5> titleRowTexts(const Title& title);
// "12 + 2 titles" (First Playback and Top Menu counted when they have an object), "3 titles".
std::string titleCountLabel(const IndexTable& indx);

// Object table: "No.", "resume", "menu call", "title search", "commands".
std::array<std::string, 5> objectRowTexts(const MovieObject& object, int number);
// "5 objects".
std::string objectCountLabel(const MovieObjectFile& mobj);

// The access type list shows 0 and 1 as "Permitted"; choosing an entry stores 0, 2 or 3.
int accessTypeEntry(uint8_t accessType);
uint8_t accessTypeFromEntry(int entry);

// First Playback and Top Menu on/off: on takes the object chosen in the object list,
// off stores 0xFFFF.
void setFirstPlaybackOn(IndexTable& indx, bool on, uint16_t selectedObject);
void setTopMenuOn(IndexTable& indx, bool on, uint16_t selectedObject);

// Inserts a title (HDMV, access 0, playback 0, object 0) after the given row (0-based;
// at the top of an empty list) and renumbers the titles by position. Returns the new
// title's index, or -1 when the index already holds 999 titles (the most an index
// file may hold; a longer one would not read back).
int insertTitle(IndexTable& indx, int afterRow);

// Deletes titles first..last (0-based rows). Returns the index to select afterwards:
// the title before the range, the first when it started at the top, -1 when none is
// left.
int deleteTitles(IndexTable& indx, int first, int last);

// Inserts an empty movie object after the given row (at 0 in an empty list) and
// returns its number. The objects behind it move up by one; with the index given,
// the HDMV titles that used them follow them (as deletion does), so no title starts
// running a different program. First Playback and Top Menu are left as they are.
int insertObject(MovieObjectFile& mobj, int afterRow);
int insertObject(MovieObjectFile& mobj, IndexTable& indx, int afterRow);

struct ObjectDeletion {
  int select = -1;                  // object to select afterwards, -1 when none is left
  std::vector<size_t> unreferenced;  // titles (0-based) whose object was deleted: "??"
  std::vector<size_t> renumbered;    // titles whose object id moved down
  std::vector<uint32_t> reported;    // title numbers logged as invalid references
};

// Deletes objects s..e. HDMV titles that used one of them lose their object (0xFFFF);
// those behind the range follow their object. Every HDMV title left without a valid
// object is logged as "Invalid object reference in Title <n>" and the status bar says
// "See Status". First Playback and Top Menu, and object numbers inside commands, are
// left as they are.
ObjectDeletion deleteObjects(MovieObjectFile& mobj, IndexTable& indx, int s, int e, core::Log& log);

// A command-table key on the program of movie object `object`, keeping the
// MovieObjects length and the ExtensionData start address in step.
hdmv::EditOutcome editObjectCommands(MovieObjectFile& mobj, int object, int first, int last, hdmv::CmdKey key,
                                     hdmv::CommandList& clipboard);
// The same for a plain insertion of commands after line b.
hdmv::EditOutcome insertObjectCommands(MovieObjectFile& mobj, int object, int b, const hdmv::CommandList& q);

}  // namespace morvex::nav

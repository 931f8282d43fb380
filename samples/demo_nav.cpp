// Demo disc: the folder skeleton, index.bdmv and MovieObject.bdmv (with their BACKUP
// copies). The movie objects are small but real programs: register set-up, compares,
// GoTo loops, playlist playback and title jumps.
#include <filesystem>

#include "demo_registry.h"
#include "nav/index.h"
#include "nav/movie_object.h"

namespace morvex::demo {
namespace {

namespace fs = std::filesystem;
using hdmv::Command;

// Opcode words of the commands the programs use (operand count, group, sub-group,
// immediate flags and operation packed as the player reads them).
constexpr uint32_t kMoveImm = 0x50400001;   // Move GPR, value
constexpr uint32_t kAddImm = 0x50400003;    // Add GPR, value
constexpr uint32_t kRndImm = 0x50400008;    // Rnd GPR, value
constexpr uint32_t kEqImm = 0x48400200;     // EQ GPR, value
constexpr uint32_t kNeImm = 0x48400300;     // NE GPR, value
constexpr uint32_t kLtImm = 0x48400700;     // LT GPR, value
constexpr uint32_t kGoTo = 0x20810000;      // GoTo line
constexpr uint32_t kJumpObject = 0x21800000;
constexpr uint32_t kJumpTitle = 0x21810000;
constexpr uint32_t kCallTitle = 0x21830000;
constexpr uint32_t kPlayPL = 0x22800000;
constexpr uint32_t kPlayPLPI = 0x42C10000;  // Play PL_PI playlist, item
constexpr uint32_t kSetButtonPage = 0x51C00003;
constexpr uint32_t kBreak = 0x00020000;
constexpr uint32_t kApply = 0x80000000;     // apply flag of a packed operand

nav::MovieObject object(hdmv::CommandList cmds, uint8_t resume = 0, uint8_t menuMask = 0, uint8_t searchMask = 0) {
  nav::MovieObject o;
  o.resumeIntentionFlag = resume;
  o.menuCallMask = menuMask;
  o.titleSearchMask = searchMask;
  o.commands = std::move(cmds);
  return o;
}

nav::MovieObjectFile movieObjects() {
  nav::MovieObjectFile m;
  m.version = "0200";
  auto& objs = m.movieObjects.objects;
  // 0: First Playback. Registers start in a known state, then the top menu.
  objs.push_back(object({{kMoveImm, 0, 0},          // GPR0: 1 once the feature was watched
                         {kMoveImm, 1, 1},          // GPR1: audio language choice
                         {kMoveImm, 2, 0},          // GPR2: loop counter
                         {kJumpObject, 1, 0}},
                        0, 1, 1));
  // 1: Top Menu. The menu background plays three times, then the main feature starts
  //    unless the viewer has already watched it.
  objs.push_back(object({{kMoveImm, 2, 0},
                         {kSetButtonPage, kApply | 1, kApply | 0},  // button 1 on page 0
                         {kPlayPL, 0, 0},                           // line 2: menu playlist
                         {kAddImm, 2, 1},
                         {kLtImm, 2, 3},
                         {kGoTo, 2, 0},
                         {kEqImm, 0, 1},
                         {kGoTo, 9, 0},
                         {kJumpTitle, 1, 0},
                         {kMoveImm, 2, 0},                          // line 9: keep looping
                         {kGoTo, 2, 0}},
                        0, 1, 0));
  // 2: Title 1, the main feature (playlist 1); back to the menu afterwards.
  objs.push_back(object({{kMoveImm, 0, 1}, {kPlayPL, 1, 0}, {kJumpObject, 1, 0}}, 1, 0, 0));
  // 3: Title 2, the second half (playlist 2) once the feature was watched (the feature
  //    first otherwise); now and then it offers the whole feature again.
  objs.push_back(object({{kNeImm, 0, 1},
                         {kJumpTitle, 1, 0},
                         {kPlayPLPI, 2, 0},
                         {kRndImm, 3, 2},
                         {kEqImm, 3, 1},
                         {kCallTitle, 1, 0},
                         {kMoveImm, 0, 2},
                         {kJumpObject, 1, 0}},
                        1, 0, 0));
  // 4: Title 4 plays the second half, then hands over to 5, which goes on with title 2
  //    (a Break after the jump is never reached).
  objs.push_back(object({{kPlayPL, 2, 0}, {kJumpObject, 5, 0}}, 0, 0, 1));
  objs.push_back(object({{kJumpTitle, 2, 0}, {kBreak, 0, 0}}));
  m.movieObjects.length = nav::movieObjectsLength(m.movieObjects);
  return m;
}

nav::Title hdmvEntry(uint32_t number, uint16_t object, uint8_t playback, uint8_t access = 0) {
  nav::Title t;
  t.titleNumber = number;
  t.objectType = nav::ObjectHDMV;
  t.objectId = object;
  t.playbackType = playback;
  t.accessType = access;
  return t;
}

nav::IndexTable index() {
  nav::IndexTable x;
  x.version = nav::kVersion0200;
  x.contentProviderData = "Morvex demo disc";
  x.indexes.firstPlayback = hdmvEntry(nav::kFirstPlaybackNumber, 0, 0);
  x.indexes.topMenu = hdmvEntry(0, 1, 1);
  x.indexes.titles.push_back(hdmvEntry(1, 2, 0));
  x.indexes.titles.push_back(hdmvEntry(2, 3, 1));
  nav::Title bdj;  // a BD-J game
  bdj.titleNumber = 3;
  bdj.objectType = nav::ObjectBDJ;
  bdj.bdjFileName = "00001";
  bdj.playbackType = 3;
  x.indexes.titles.push_back(bdj);
  x.indexes.titles.push_back(hdmvEntry(4, 4, 0, 2));
  x.indexes.length = static_cast<uint32_t>(26 + 12 * x.indexes.titles.size());
  return x;
}

DemoStep folders(10, "folders", [](DemoContext& ctx) {
  std::error_code ec;
  for (const char* d : {"BACKUP", "PLAYLIST", "CLIPINF", "STREAM", "BDJO", "AUXDATA", "META"}) {
    fs::create_directories(ctx.bdmv / d, ec);
    if (ec) return false;
  }
  return true;
});

DemoStep navFiles(20, "index and movie objects", [](DemoContext& ctx) {
  core::SaveSettings s;
  s.backup = false;
  s.saveBackupDir = true;  // the BACKUP copies
  auto names = core::FileNames::make(false);
  return nav::saveIndexTable(index(), ctx.bdmv, names.indexfile, s, ctx.log) &&
         nav::saveMovieObjectFile(movieObjects(), ctx.bdmv, names.mobjfile, s, ctx.log);
});

}  // namespace
}  // namespace morvex::demo

#include "disc/nav_map.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <tuple>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "bdj/bdjo.h"
#include "clip/clpi.h"
#include "core/binary.h"
#include "core/stream_coding.h"
#include "core/text.h"
#include "disc/disc_load.h"
#include "hdmv/interpreter.h"
#include "igs/extract.h"
#include "playlist/mpls_reader.h"

namespace morvex::disc {

namespace fs = std::filesystem;

std::string entryLabel(uint32_t title) {
  if (title == nav::kFirstPlaybackNumber) return "First Play";
  if (title == 0) return "Top Menu";
  return "Title " + std::to_string(title);
}

std::string playlistName(uint32_t number) { return core::decimalText(number, 5); }

const PlaylistFacts* NavigationMap::facts(const std::string& name) const {
  auto it = std::lower_bound(playlists.begin(), playlists.end(), name,
                             [](const PlaylistFacts& f, const std::string& n) { return f.name < n; });
  return it != playlists.end() && it->name == name ? &*it : nullptr;
}

// ---------------------------------------------------------------------------------
// Loading

namespace {

void readInto(const fs::path& folder, const std::string& rel, NavigationLoad& load,
              const std::function<core::ReadResult(const core::Bytes&, core::Log&)>& read) {
  core::Bytes bytes;
  std::string err;
  core::NullLog log;
  if (!core::readWholeFile(folder / rel, bytes, err)) {
    load.reads.push_back({rel, core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, rel + ": " + err)});
    return;
  }
  load.reads.push_back({rel, read(bytes, log)});
}

}  // namespace

NavigationLoad loadNavigationDisc(const fs::path& chosen, NavigationDisc& disc, const NavigationLoadOptions& options) {
  NavigationLoad load;
  disc = NavigationDisc{};
  std::error_code ec;
  const fs::path folder = discFolderFor(chosen);
  const auto names = core::FileNames::make(options.use83names);
  if (!fs::is_regular_file(folder / names.indexfile, ec)) {
    load.failure = folder.string() + ": there is no " + names.indexfile + " (not a disc folder)";
    return load;
  }
  load.loaded = true;
  readInto(folder, names.indexfile, load, [&](const core::Bytes& b, core::Log& log) {
    return nav::readIndexTable(b, names.indexfile, disc.index, log);
  });
  readInto(folder, names.mobjfile, load, [&](const core::Bytes& b, core::Log& log) {
    return nav::readMovieObjectFile(b, names.mobjfile, disc.movieObjects, log);
  });

  for (const auto& name : listNames(folder / "PLAYLIST", names.playlistext)) {
    disc.playlistFiles.insert(name);
    playlist::Playlist m;
    const std::string rel = "PLAYLIST/" + name + names.playlistext;
    readInto(folder, rel, load, [&](const core::Bytes& b, core::Log& log) {
      playlist::ReadOptions ro;
      ro.silent = true;
      return playlist::readPlaylist(b, name + names.playlistext, m, log, ro);
    });
    if (load.reads.back().result.usable()) disc.playlists.emplace(name, std::move(m));
  }

  for (const auto& name : listNames(folder / "BDJO", ".bdjo")) {
    bdj::BdjObject b;
    readInto(folder, "BDJO/" + name + ".bdjo", load, [&](const core::Bytes& bytes, core::Log& log) {
      return bdj::readBdjObject(bytes, name + ".bdjo", b, log);
    });
    if (!load.reads.back().result.usable()) continue;
    BdjReach reach;
    reach.all = b.accessiblePlaylists.accessToAll;
    reach.playlists = b.accessiblePlaylists.playlists;
    disc.bdjObjects.emplace(name, std::move(reach));
  }

  if (options.streamMenus) readStreamMenus(folder, disc, names, load.reads);
  return load;
}

void readStreamMenus(const fs::path& folder, NavigationDisc& disc, const core::FileNames& names,
                     std::vector<FileRead>& reads) {
  std::error_code ec;
  NavigationLoad load;
  // The menu a playlist carries is the IG stream of its first PlayItem's clip.
  std::map<std::string, std::optional<igs::InteractiveComposition>> byClip;
  std::map<std::string, NavigationDisc::MenuSource> sources;
  for (const auto& [name, m] : disc.playlists) {
    if (m.playList.playItems.empty()) continue;
    const std::string clipName = m.playList.playItems[0].clipName;
    auto it = byClip.find(clipName);
    if (it == byClip.end()) {
      std::optional<igs::InteractiveComposition> menu;
      const fs::path stream = folder / "STREAM" / (clipName + names.streamext);
      const std::string clipRel = "CLIPINF/" + clipName + names.clipinfext;
      if (fs::is_regular_file(stream, ec) && fs::is_regular_file(folder / clipRel, ec)) {
        clip::ClipInfo c;
        readInto(folder, clipRel, load, [&](const core::Bytes& b, core::Log& log) {
          return clip::readClipInfo(b, clipName + names.clipinfext, c, log);
        });
        uint16_t pid = 0;
        for (const auto& seq : c.programInfo.programSequences)
          for (const auto& s : seq.streams)
            if (!pid && core::isCoding(s.codingType, core::StreamCoding::Ig)) pid = s.pid;
        if (pid) {
          igs::Menu igMenu;
          core::NullLog log;
          auto r = igs::loadMenuFromStream(stream, pid, igMenu, log);
          load.reads.push_back({"STREAM/" + clipName + names.streamext, r});
          if (r.usable() && igMenu.loaded) {
            menu = igMenu.ics;
            sources[clipName] = {"STREAM/" + clipName + names.streamext, pid};
          }
        }
      }
      it = byClip.emplace(clipName, std::move(menu)).first;
    }
    if (it->second) {
      disc.menus.emplace(name, *it->second);
      disc.menuSources.emplace(name, sources[clipName]);
    }
  }
  for (auto& r : load.reads) reads.push_back(std::move(r));
}

// ---------------------------------------------------------------------------------
// The walk

namespace {

constexpr int kRegisterCount = hdmv::kPsrCount + hdmv::kGprCount;
using Taint = std::bitset<kRegisterCount>;

// The register an operand word names (PSR n is n, GPR n is 128 + n), or -1 when
// the operand is an immediate value.
int operandRegister(uint32_t opcode, uint32_t word, bool first) {
  if (hdmv::operandCountOf(opcode) == 0) return -1;
  if (first ? hdmv::imm1Of(opcode) : hdmv::imm2Of(opcode)) return -1;
  if (word & 0x80000000u) return int(word & 0x7F);
  return hdmv::kPsrCount + int(word & 0xFFF);
}

// A menu as the interpreter's host sees it: the pages of a composition with their
// buttons by id.
struct MenuLayout {
  const igs::InteractiveComposition* ics = nullptr;
  struct Slot {
    const igs::Button* button = nullptr;
    int bog = -1;
  };
  std::vector<std::vector<Slot>> byId;  // per page

  explicit MenuLayout(const igs::InteractiveComposition& c) : ics(&c) {
    byId.resize(c.pages.size());
    for (size_t p = 0; p < c.pages.size(); ++p) {
      auto& list = byId[p];
      const auto& bogs = c.pages[p].bogs;
      for (size_t g = 0; g < bogs.size(); ++g)
        for (const auto& b : bogs[g].buttons) {
          if (b.id == igs::kNoButton || b.id > 0x1FDF) continue;
          if (list.size() <= b.id) list.resize(size_t(b.id) + 1);
          list[b.id] = Slot{&b, int(g)};
        }
    }
  }
  const Slot* slot(int page, int button) const {
    if (page < 0 || size_t(page) >= byId.size() || button < 0 || size_t(button) >= byId[page].size()) return nullptr;
    const Slot& s = byId[page][button];
    return s.button ? &s : nullptr;
  }
};

enum class ProgramKind : uint8_t { Object, Button, Page };

// One place the walk still has to go, with the registers it gets there with.
struct WalkState {
  ProgramKind kind = ProgramKind::Object;
  int object = -1;
  std::string playlist;
  int page = -1, button = -1;
  int line = 0;
  std::shared_ptr<hdmv::Registers> regs;
  std::shared_ptr<Taint> taint;
  bool uncertain = false;
};

Link makeLink(const Place& from, LinkKind kind) {
  Link l;
  l.from = from;
  l.kind = kind;
  return l;
}

uint64_t fnv(uint64_t h, const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h;
}

// The register files are hashed for every state the walk enters, so this takes
// them 64 bits at a time in four independent lanes that the processor runs side by
// side, and mixes the lanes at the end.
uint64_t hashWords(uint64_t h, const uint32_t* w, size_t n) {
  uint64_t lane[4] = {h, h ^ 0x9E3779B97F4A7C15ull, h ^ 0xC2B2AE3D27D4EB4Full, h ^ 0x165667B19E3779F9ull};
  size_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int k = 0; k < 4; ++k) {
      const uint64_t v = (uint64_t(w[i + 2 * k]) << 32) | w[i + 2 * k + 1];
      lane[k] = (lane[k] ^ v) * 0x9FB21C651E98DF25ull;
      lane[k] ^= lane[k] >> 31;
    }
  for (; i < n; ++i) lane[0] = (lane[0] ^ w[i]) * 0x9FB21C651E98DF25ull;
  uint64_t out = h;
  for (uint64_t l : lane) out = (out ^ l) * 0x100000001B3ull + (out >> 29);
  return out;
}

uint64_t registersKey(uint64_t h, const hdmv::Registers& regs, const Taint& taint) {
  h = hashWords(h, regs.psr.data(), regs.psr.size());
  h = hashWords(h, regs.gpr.data(), regs.gpr.size());
  h = (h ^ std::hash<Taint>{}(taint)) * 0x100000001B3ull;
  return h;
}

// How many times one program run may go back to an earlier line and still be looked
// at for a repeat of itself (a loop that changes nothing ends at once; one that counts
// in a register runs on to the step budget).
constexpr int kLoopChecks = 64;

class Walker;

// The interpreter's menu host during a button's run: SetButtonPage shows another page
// (the walk visits it), EnableButton makes a button one that can run.
class WalkHost : public hdmv::MenuHost {
public:
  WalkHost(Walker& w, const MenuLayout& layout, std::string playlist, int page)
      : walker_(w), layout_(layout), playlist_(std::move(playlist)), page_(page) {}

  int page() const { return page_; }
  int runButton = -1;  // the button whose program runs (an auto-action button takes over)

  int pageCount() const override { return int(layout_.byId.size()); }
  int buttonListLength(int page) const override {
    return page >= 0 && size_t(page) < layout_.byId.size() ? int(layout_.byId[page].size()) : 0;
  }
  bool isButton(int page, int button) const override { return layout_.slot(page, button) != nullptr; }
  int bogOf(int page, int button) const override {
    auto* s = layout_.slot(page, button);
    return s ? s->bog : -1;
  }
  bool autoAction(int page, int button) const override {
    auto* s = layout_.slot(page, button);
    return s && s->button->autoAction;
  }
  hdmv::CommandList buttonCommands(int page, int button) const override {
    auto* s = layout_.slot(page, button);
    return s ? s->button->commands : hdmv::CommandList{};
  }
  bool outEffectsEnabled() const override { return false; }
  bool hasOutEffects(int) const override { return false; }
  int buttonStateCount() const override { return buttonListLength(page_); }
  int stateBog(int slot) const override { return bogOf(page_, slot); }

  void setButtonStates(int page) override { page_ = page; }
  void showPage(int page) override;
  void showInBog(int button) override;
  void setRunButton(int button) override;

private:
  Walker& walker_;
  const MenuLayout& layout_;
  std::string playlist_;
  int page_;
};

class Walker {
public:
  Walker(const NavigationDisc& disc, const WalkOptions& options, NavigationMap& map)
      : disc_(disc), opt_(options), map_(map) {
    for (const auto& [name, ics] : disc.menus) layouts_.emplace(name, std::make_unique<MenuLayout>(ics));
  }

  void walkEntry(EntryWalk& entry);

  // Reached by the walks of every entry.
  std::set<int> objectsRun;
  std::set<std::string> playlistsReached;
  std::set<std::string> bdjReached;

private:
  friend class WalkHost;

  void run(WalkState s);
  void visitPage(const WalkState& s);
  void follow(WalkState s, bool front);
  void enterTitle(uint32_t title, const WalkState& from, bool front);
  void played(const std::string& name, const WalkState& at);
  void addLink(Link l) { links_.insert(std::move(l)); }
  Place placeOf(const WalkState& s, int line) const {
    Place p;
    p.line = line;
    if (s.kind == ProgramKind::Object) {
      p.kind = Place::Kind::Object;
      p.object = s.object;
    } else {
      p.kind = Place::Kind::Button;
      p.playlist = s.playlist;
      p.page = s.page;
      p.button = s.button;
    }
    return p;
  }
  WalkState fork(const WalkState& s) const {
    WalkState n = s;
    n.regs = std::make_shared<hdmv::Registers>(*s.regs);
    n.taint = std::make_shared<Taint>(*s.taint);
    return n;
  }
  void enableButton(const std::string& playlist, int page, int button);
  // A title's way ends where it returns to the Top Menu's object: what the menu
  // reaches is the menu's, not the title's.
  bool backToMenu(uint32_t object) const {
    const auto& top = disc_.index.indexes.topMenu;
    return entry_->title != 0 && entry_->title != nav::kFirstPlaybackNumber && top.isHdmv() &&
           top.objectId == object;
  }

  const NavigationDisc& disc_;
  const WalkOptions& opt_;
  NavigationMap& map_;
  std::map<std::string, std::unique_ptr<MenuLayout>> layouts_;
  std::set<Link> links_;
  std::set<std::tuple<std::string, int, int>> enabledButtons_;

  // The entry being walked.
  EntryWalk* entry_ = nullptr;
  std::deque<WalkState> work_;
  std::unordered_set<uint64_t> seen_;
  std::unordered_map<uint64_t, size_t> placeStates_;
  bool stopped_ = false;
  // The state whose program runs now (the host's requests refer to it).
  WalkState* current_ = nullptr;

public:
  std::set<Link>& links() { return links_; }
};

void WalkHost::showPage(int page) {
  page_ = page;
  WalkState v = walker_.fork(*walker_.current_);
  v.kind = ProgramKind::Page;
  v.playlist = playlist_;
  v.page = page;
  v.button = -1;
  v.line = 0;
  walker_.follow(std::move(v), false);
}

void WalkHost::showInBog(int button) { walker_.enableButton(playlist_, page_, button); }

void WalkHost::setRunButton(int button) {
  runButton = button;
  walker_.current_->button = button;
  walker_.current_->page = page_;
  walker_.map_.buttonsRun.insert(ButtonRef{playlist_, page_, button});
}

void Walker::enableButton(const std::string& playlist, int page, int button) {
  if (!enabledButtons_.insert({playlist, page, button}).second) return;
  // A button that became visible on a page already shown can run from then on.
  if (!map_.pagesShown.count({playlist, page}) || !current_) return;
  WalkState b = fork(*current_);
  b.kind = ProgramKind::Button;
  b.playlist = playlist;
  b.page = page;
  b.button = button;
  b.line = 0;
  b.regs->psr[10] = uint32_t(button);
  b.regs->psr[11] = uint32_t(page);
  follow(std::move(b), false);
}

void Walker::follow(WalkState s, bool front) {
  if (stopped_) return;
  if (seen_.size() >= opt_.maxEntryStates) {
    // So many different states: a program counting in a register without end, as
    // often as not. The walk stops here.
    entry_->truncated = true;
    entry_->loops = true;
    stopped_ = true;
    return;
  }
  // The same place reached with ever other registers (a menu's buttons remembering
  // choices in GPRs) is walked for a few of them only: the ways out of a place
  // rarely depend on more than a handful of values.
  {
    uint64_t h = 0xCBF29CE484222325ull;
    const int head[5] = {int(s.kind), s.object, s.page, s.button, s.line};
    h = fnv(h, head, sizeof head);
    h = fnv(h, s.playlist.data(), s.playlist.size());
    if (placeStates_[h] >= opt_.maxStatesPerPlace) {
      // An object started again and again with new values: a count that never ends.
      if (s.kind == ProgramKind::Object && s.line == 0) entry_->loops = true;
      return;
    }
    const uint64_t key = registersKey(h, *s.regs, *s.taint);
    if (!seen_.insert(key).second) {
      // Back at a state already walked: a loop, or two ways meeting again.
      if (s.kind == ProgramKind::Object) entry_->loops = entry_->loops || s.line == 0;
      return;
    }
    ++placeStates_[h];
  }
  if (front) work_.push_front(std::move(s));
  else work_.push_back(std::move(s));
}

void Walker::enterTitle(uint32_t title, const WalkState& from, bool front) {
  const auto& ix = disc_.index.indexes;
  const nav::Title* t = nullptr;
  if (title == nav::kFirstPlaybackNumber) t = &ix.firstPlayback;
  else if (title == 0) t = &ix.topMenu;
  else if (title <= ix.titles.size()) t = &ix.titles[title - 1];
  if (!t) return;
  // A title's walk ends where it returns to the Top Menu: what the menu reaches is
  // the menu's, not the title's.
  if ((title == 0 && entry_->title != 0 && entry_->title != nav::kFirstPlaybackNumber) ||
      (t->isHdmv() && backToMenu(t->objectId)))
    return;
  if (!t->isHdmv()) {
    bdjReached.insert(t->bdjFileName);
    return;
  }
  if (t->objectId >= disc_.movieObjects.movieObjects.objects.size()) return;
  WalkState s = fork(from);
  s.kind = ProgramKind::Object;
  s.object = t->objectId;
  s.playlist.clear();
  s.page = s.button = -1;
  s.line = 0;
  s.regs->psr[4] = title;
  follow(std::move(s), front);
}

void Walker::played(const std::string& name, const WalkState& at) {
  playlistsReached.insert(name);
  auto& list = entry_->playlists;
  if (std::find(list.begin(), list.end(), name) == list.end()) list.push_back(name);
  if (!layouts_.count(name)) return;
  // The menu the playlist carries comes up with page 0 and no button selected.
  WalkState v = fork(at);
  v.kind = ProgramKind::Page;
  v.playlist = name;
  v.page = 0;
  v.button = -1;
  v.line = 0;
  v.regs->psr[10] = 0xFFFF;
  v.regs->psr[11] = 0;
  follow(std::move(v), false);
}

void Walker::visitPage(const WalkState& s) {
  const MenuLayout& layout = *layouts_.at(s.playlist);
  if (s.page < 0 || size_t(s.page) >= layout.ics->pages.size()) return;
  map_.pagesShown.insert({s.playlist, s.page});
  const auto& page = layout.ics->pages[size_t(s.page)];
  std::set<int> visible;
  for (const auto& bog : page.bogs)
    for (const auto& b : bog.buttons)
      if (b.id == bog.defaultValid) visible.insert(b.id);
  for (const auto& [pl, pg, b] : enabledButtons_)
    if (pl == s.playlist && pg == s.page) visible.insert(b);
  for (int b : visible) {
    if (!layout.slot(s.page, b)) continue;
    WalkState r = fork(s);
    r.kind = ProgramKind::Button;
    r.button = b;
    r.line = 0;
    r.regs->psr[10] = uint32_t(b);
    r.regs->psr[11] = uint32_t(s.page);
    follow(std::move(r), false);
  }
}

void Walker::run(WalkState s) {
  hdmv::CommandList program;
  std::unique_ptr<WalkHost> host;
  if (s.kind == ProgramKind::Object) {
    const auto& objs = disc_.movieObjects.movieObjects.objects;
    if (s.object < 0 || size_t(s.object) >= objs.size()) return;
    objectsRun.insert(s.object);
    if (std::find(entry_->objects.begin(), entry_->objects.end(), s.object) == entry_->objects.end())
      entry_->objects.push_back(s.object);
    program = objs[size_t(s.object)].commands;
  } else {
    const MenuLayout& layout = *layouts_.at(s.playlist);
    auto* slot = layout.slot(s.page, s.button);
    if (!slot) return;
    map_.buttonsRun.insert(ButtonRef{s.playlist, s.page, s.button});
    program = slot->button->commands;
    host = std::make_unique<WalkHost>(*this, layout, s.playlist, s.page);
    host->runButton = s.button;
  }

  hdmv::Interpreter in(*s.regs);
  in.curLine = s.line;
  current_ = &s;
  in.executeCommand(program, host.get());
  Taint& taint = *s.taint;
  size_t runSteps = 0;
  int loopChecks = 0;
  std::unordered_set<uint64_t> linesSeen;
  while (in.inProgress()) {
    if (entry_->steps >= opt_.maxEntrySteps) {
      entry_->truncated = true;
      stopped_ = true;
      break;
    }
    if (++runSteps > opt_.maxRunSteps) {
      entry_->loops = true;
      break;
    }
    const int line = in.curLine;
    const hdmv::Command c = in.program()[size_t(line)];
    const uint32_t op = c.opcode;
    const int r1 = operandRegister(op, c.dst, true), r2 = operandRegister(op, c.src, false);
    const bool t1 = r1 >= 0 && taint[size_t(r1)], t2 = r2 >= 0 && taint[size_t(r2)];
    if (host) s.button = host->runButton, s.page = host->page();
    const Place here = placeOf(s, line);
    const uint32_t op1 = in.operandValue(c, true), op2 = in.operandValue(c, false);
    const bool unsure = s.uncertain || t1 || t2;

    // Compares on a value the walk does not know go both ways.
    if (op >= 0x48000100u && op <= 0x48C00700u && (t1 || t2) && ((op >> 8) & 7) != 0) {
      if (entry_->forks + 2 > opt_.maxForks) {
        entry_->truncated = true;
      } else {
        entry_->forks += 2;
        for (int skip : {2, 1}) {  // the true way first: pushed last, to the front
          WalkState n = fork(s);
          n.line = line + skip;
          n.uncertain = true;
          if (size_t(n.line) < in.program().size()) follow(std::move(n), true);
        }
        break;
      }
    }

    const uint32_t setBase = op & ~(0x00C0000Fu);
    const uint32_t setOp = op & 0xFu;
    if (setBase == 0x50000000u && setOp != 0) {
      if (setOp == 8 && r1 >= 0 && !t2 && op2 > 0 && op2 <= opt_.maxRandomValues &&
          entry_->forks + op2 + 1 <= opt_.maxForks) {
        // A random number: every value a player may draw (from 0 or from 1 up to
        // the limit) is tried, the largest pushed first so the smallest runs first.
        entry_->forks += op2 + 1;
        for (int v = int(op2); v >= 0; --v) {
          WalkState n = fork(s);
          if (r1 < hdmv::kPsrCount) n.regs->psr[size_t(r1)] = uint32_t(v);
          else n.regs->gpr[size_t(r1 - hdmv::kPsrCount)] = uint32_t(v);
          (*n.taint)[size_t(r1)] = false;
          n.line = line + 1;
          n.uncertain = true;
          if (size_t(n.line) < in.program().size()) follow(std::move(n), true);
        }
        break;
      }
      if (r1 >= 0) {
        switch (setOp) {
          case 1: taint[size_t(r1)] = t2; break;
          case 2:
            taint[size_t(r1)] = t2;
            if (r2 >= 0) taint[size_t(r2)] = t1;
            break;
          case 8: taint[size_t(r1)] = true; break;
          default: taint[size_t(r1)] = t1 || t2; break;
        }
      }
    }

    const uint32_t nav = op & ~0x00C00000u;
    if (!host && nav == 0x51000003u) {
      // SetButtonPage in a movie object: no menu is up, so the player only sets the
      // page and button the next menu starts with, and the program goes on (the
      // interpreter, built for the screen, ends its run here instead).
      if (c.src & 0x80000000u) s.regs->psr[11] = op2 & 0xFF;
      if (c.dst & 0x80000000u) s.regs->psr[10] = op1 & 0xFFFF;
      ++entry_->steps;
      in.cancel();
      in.curLine = line + 1;
      in.executeCommand(program);
      continue;
    }
    bool leave = false;
    switch (nav) {
      case 0x21000000u:  // Jump Object
      case 0x21020000u: {  // Call Object
        const bool call = nav == 0x21020000u;
        Link l = makeLink(here, call ? LinkKind::CallObject : LinkKind::JumpObject);
        l.object = op1;
        l.uncertain = unsure;
        addLink(l);
        if (call && size_t(line + 1) < in.program().size() && s.kind == ProgramKind::Object) {
          WalkState n = fork(s);  // the caller goes on once the object resumes it
          n.line = line + 1;
          follow(std::move(n), true);
        }
        if (op1 < disc_.movieObjects.movieObjects.objects.size() && !backToMenu(op1)) {
          WalkState n = fork(s);
          n.kind = ProgramKind::Object;
          n.object = int(op1);
          n.playlist.clear();
          n.page = n.button = -1;
          n.line = 0;
          n.uncertain = unsure;
          follow(std::move(n), true);
        }
        leave = true;
        break;
      }
      case 0x21010000u:  // Jump Title
      case 0x21030000u: {  // Call Title
        const bool call = nav == 0x21030000u;
        Link l = makeLink(here, call ? LinkKind::CallTitle : LinkKind::JumpTitle);
        l.title = op1;
        l.uncertain = unsure;
        addLink(l);
        if (call && size_t(line + 1) < in.program().size() && s.kind == ProgramKind::Object) {
          WalkState n = fork(s);
          n.line = line + 1;
          follow(std::move(n), true);
        }
        WalkState from = s;
        from.uncertain = unsure;
        enterTitle(op1, from, true);
        leave = true;
        break;
      }
      case 0x01040000u:  // Resume: back to the caller, whose way goes on by itself
        leave = true;
        break;
      case 0x22000000u:
      case 0x42010000u:
      case 0x42020000u: {
        Link l = makeLink(here, nav == 0x22000000u   ? LinkKind::PlayPlaylist
                     : nav == 0x42010000u ? LinkKind::PlayAtItem
                                          : LinkKind::PlayAtMark);
        l.playlist = playlistName(op1);
        if (nav == 0x42010000u) l.playItem = op2;
        if (nav == 0x42020000u) l.mark = op2;
        l.uncertain = unsure;
        addLink(l);
        in.step();
        ++entry_->steps;
        WalkState at = s;  // the registers after the command (PSR6, 7, 5 set)
        at.uncertain = unsure;
        played(l.playlist, at);
        continue;
      }
      default:
        break;
    }
    if (leave) {
      ++entry_->steps;
      break;
    }
    const int pageBefore = host ? host->page() : -1;
    in.step();
    ++entry_->steps;
    if (in.inProgress() && in.curLine <= line && loopChecks < kLoopChecks) {
      // Back to an earlier line: the same line with the same registers again is a
      // loop that nothing ends.
      ++loopChecks;
      const int64_t at[2] = {in.curLine, int64_t(program.size())};
      if (!linesSeen.insert(registersKey(fnv(0xCBF29CE484222325ull, at, sizeof at), *s.regs, taint)).second) {
        entry_->loops = true;
        break;
      }
    }
    if (host && host->page() != pageBefore) {
      Link l = makeLink(here, LinkKind::SetPage);
      l.playlist = s.playlist;
      l.page = host->page();
      l.uncertain = unsure;
      addLink(l);
    }
    if (host && nav == 0x31000004u) {
      Link l = makeLink(here, LinkKind::EnableButton);
      l.playlist = s.playlist;
      l.page = host->page();
      l.button = int(op1 & 0xFFFF);
      l.uncertain = unsure;
      addLink(l);
    }
  }
  // The interpreter's reports are for a screen; the walk read the commands itself.
  in.cancel();
  current_ = nullptr;
}

void Walker::walkEntry(EntryWalk& entry) {
  entry_ = &entry;
  work_.clear();
  seen_.clear();
  placeStates_.clear();
  stopped_ = false;

  WalkState start;
  start.regs = std::make_shared<hdmv::Registers>();
  start.taint = std::make_shared<Taint>();
  hdmv::resetRegisters(*start.regs, opt_.registers);
  for (const auto& [n, v] : opt_.psrValues)
    if (n >= 0 && n < hdmv::kPsrCount) start.regs->psr[size_t(n)] = v;
  // The presentation time is whatever the player shows at the moment.
  (*start.taint)[8] = true;

  const auto& ix = disc_.index.indexes;
  const nav::Title& t = entry.title == nav::kFirstPlaybackNumber ? ix.firstPlayback
                        : entry.title == 0                       ? ix.topMenu
                                                                 : ix.titles[entry.title - 1];
  entry.hdmv = t.isHdmv();
  if (!entry.hdmv) {
    entry.bdjObject = t.bdjFileName;
    bdjReached.insert(t.bdjFileName);
  } else if (t.objectId != 0xFFFF && t.objectId < disc_.movieObjects.movieObjects.objects.size()) {
    entry.object = t.objectId;
    start.object = t.objectId;
    start.regs->psr[4] = entry.title;
    follow(std::move(start), true);
  }
  while (!work_.empty() && !stopped_) {
    WalkState s = std::move(work_.front());
    work_.pop_front();
    if (s.kind == ProgramKind::Page) visitPage(s);
    else run(std::move(s));
  }
  if (!work_.empty()) entry.truncated = true;
  map_.steps += entry.steps;

  uint64_t longest = 0;
  for (const auto& name : entry.playlists) {
    auto it = disc_.playlists.find(name);
    uint64_t d = 0;
    if (it != disc_.playlists.end())
      for (const auto& pi : it->second.playList.playItems) d += uint32_t(pi.outTime - pi.inTime);
    if (entry.feature.empty() || d > longest) {
      entry.feature = name;
      longest = d;
    }
  }
  entry_ = nullptr;
}

PlaylistFacts factsOf(const std::string& name, const NavigationDisc& disc) {
  PlaylistFacts f;
  f.name = name;
  auto it = disc.playlists.find(name);
  if (it != disc.playlists.end()) {
    const auto& m = it->second;
    f.readable = true;
    for (const auto& pi : m.playList.playItems) f.duration += uint32_t(pi.outTime - pi.inTime);
    f.playItems = m.playList.playItems.size();
    f.chapters = size_t(std::count_if(m.playListMark.marks.begin(), m.playListMark.marks.end(),
                                      [](const playlist::Mark& mk) { return mk.type == 1; }));
    if (!m.playList.playItems.empty()) {
      const auto& stn = m.playList.playItems[0].stn;
      f.video = stn.numVideo;
      f.audio = stn.numAudio;
      f.subtitles = stn.numPG;
      f.menus = stn.numIG;
    }
  }
  auto menu = disc.menus.find(name);
  if (menu != disc.menus.end()) f.pages = menu->second.pages.size();
  return f;
}

}  // namespace

NavigationMap walkNavigation(const NavigationDisc& disc, const WalkOptions& options) {
  NavigationMap map;
  Walker walker(disc, options, map);
  const auto& ix = disc.index.indexes;
  std::vector<uint32_t> order{nav::kFirstPlaybackNumber, 0};
  for (size_t i = 1; i <= ix.titles.size(); ++i) order.push_back(uint32_t(i));
  for (uint32_t title : order) {
    EntryWalk e;
    e.title = title;
    e.label = entryLabel(title);
    walker.walkEntry(e);
    map.entries.push_back(std::move(e));
  }
  map.links.assign(walker.links().begin(), walker.links().end());

  std::set<std::string> names = disc.playlistFiles;
  for (const auto& [name, m] : disc.playlists) names.insert(name);
  for (const auto& name : names) map.playlists.push_back(factsOf(name, disc));

  std::set<std::string> reached = walker.playlistsReached;
  bool all = false;
  for (const auto& b : walker.bdjReached) {
    auto it = disc.bdjObjects.find(b);
    if (it == disc.bdjObjects.end()) continue;
    all = all || it->second.all;
    reached.insert(it->second.playlists.begin(), it->second.playlists.end());
  }
  if (!all)
    for (const auto& name : names)
      if (!reached.count(name)) map.unreachablePlaylists.push_back(name);
  for (size_t i = 0; i < disc.movieObjects.movieObjects.objects.size(); ++i)
    if (!walker.objectsRun.count(int(i))) map.unreachableObjects.push_back(int(i));
  // Buttons of the menus the walk entered that no way runs.
  std::set<std::string> entered;
  for (const auto& [pl, page] : map.pagesShown) entered.insert(pl);
  for (const auto& pl : entered) {
    const auto& ics = disc.menus.at(pl);
    for (size_t p = 0; p < ics.pages.size(); ++p)
      for (const auto& bog : ics.pages[p].bogs)
        for (const auto& b : bog.buttons) {
          ButtonRef ref{pl, int(p), int(b.id)};
          if (!map.buttonsRun.count(ref)) map.buttonsNeverRun.push_back(ref);
        }
  }
  std::sort(map.buttonsNeverRun.begin(), map.buttonsNeverRun.end());
  return map;
}

}  // namespace morvex::disc

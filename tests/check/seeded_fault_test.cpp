// Copies of real discs (and of the demo disc) with one fault each: the checker must
// report exactly that fault, with its code and place, and nothing else new. The faults
// are written into the bytes directly, located by a small parser of its own here, so
// the engine's readers and writers take no part in preparing them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "check/checker.h"
#include "check/menu_check.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace morvex;
using check::Finding;
using core::Severity;

namespace {

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 | uint32_t(b.at(at + 2)) << 8 | b.at(at + 3);
}
uint16_t be16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b.at(at) << 8 | b.at(at + 1)); }
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (24 - 8 * i));
}
void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = uint8_t(v >> 8);
  b.at(at + 1) = uint8_t(v);
}

std::string at(uint64_t offset) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "offset $%08llX", static_cast<unsigned long long>(offset));
  return buf;
}

// Movie-object commands: where each lies in the file.
struct Cmd {
  size_t object, line, pos;
  uint32_t opcode, dst, src;
};
std::vector<Cmd> commands(const std::vector<uint8_t>& mobj) {
  std::vector<Cmd> out;
  const size_t objects = be16(mobj, 48);
  size_t p = 50;
  for (size_t o = 0; o < objects; ++o) {
    const size_t n = be16(mobj, p + 2);
    p += 4;
    for (size_t l = 0; l < n; ++l, p += 12) out.push_back({o, l, p, be32(mobj, p), be32(mobj, p + 4), be32(mobj, p + 8)});
  }
  return out;
}

// The PlayItems' start positions in a playlist.
std::vector<size_t> playItems(const std::vector<uint8_t>& mpls) {
  std::vector<size_t> out;
  const size_t start = be32(mpls, 8);
  const size_t n = be16(mpls, start + 6);
  size_t p = start + 10;
  for (size_t i = 0; i < n; ++i) {
    out.push_back(p);
    p += 2 + be16(mpls, p);
  }
  return out;
}

// Writes a changed file and, when the disc keeps one, its BACKUP copy, so that only
// the fault itself is new.
void writeBoth(const fs::path& bdmv, const std::string& rel, const std::vector<uint8_t>& bytes) {
  test::writeFile(bdmv / rel, bytes);
  if (fs::exists(bdmv / "BACKUP" / rel)) test::writeFile(bdmv / "BACKUP" / rel, bytes);
}

struct Expected {
  Severity severity;
  std::string code, file, location;
};

std::string describe(const std::vector<Finding>& v) {
  std::ostringstream s;
  for (const auto& f : v)
    s << "  " << check::severityName(f.severity) << ' ' << f.code << ' ' << f.file << " [" << f.location << "] "
      << f.message << '\n';
  return s.str();
}

// A copy of a disc folder; `fault` changes it and says what the checker should add.
// Returns false when the fault does not apply to this disc.
using Fault = std::function<bool(const fs::path& bdmv, std::vector<Expected>& expected)>;

class SeededFault : public ::testing::Test {
protected:
  // Applies `fault` to a fresh copy of `disc`; checks that the findings the fault adds
  // are exactly the expected ones. Returns whether the fault applied.
  bool seed(const fs::path& disc, const std::string& name, const Fault& fault) {
    test::TempDir tmp;
    const fs::path copy = tmp / "BDMV";
    fs::copy(disc, copy, fs::copy_options::recursive);
    const auto before = check::checkDisc(copy);
    EXPECT_TRUE(before.checked);
    std::vector<Expected> expected;
    if (!fault(copy, expected)) return false;
    const auto after = check::checkDisc(copy);
    std::vector<Finding> added;
    for (const auto& f : after.findings)
      if (std::find(before.findings.begin(), before.findings.end(), f) == before.findings.end()) added.push_back(f);
    std::vector<Expected> missing;
    for (const auto& e : expected) {
      auto it = std::find_if(added.begin(), added.end(), [&](const Finding& f) {
        return f.severity == e.severity && f.code == e.code && f.file == e.file && f.location == e.location;
      });
      if (it == added.end())
        missing.push_back(e);
      else
        added.erase(it);
    }
    for (const auto& e : missing)
      ADD_FAILURE() << disc << " / " << name << ": not reported: " << e.code << " " << e.file << " [" << e.location
                    << "]";
    EXPECT_TRUE(added.empty()) << disc << " / " << name << ": reported besides the fault:\n" << describe(added);
    return true;
  }

  static std::vector<Fault> faults();
  static std::vector<std::string> faultNames();
};

std::optional<std::string> firstPlaylist(const fs::path& bdmv, const std::function<bool(const std::vector<uint8_t>&)>& ok) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(bdmv / "PLAYLIST")) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files)
    if (ok(test::readFile(f))) return f.filename().string();
  return std::nullopt;
}

const std::vector<std::pair<std::string, Fault>>& allFaults() {
  static const std::vector<std::pair<std::string, Fault>> list = {
      {"playlist deleted",
       [](const fs::path& d, std::vector<Expected>& exp) {
         const auto cmds = commands(test::readFile(d / "MovieObject.bdmv"));
         auto plays = [](const Cmd& c) {
           return c.opcode == 0x22800000u || c.opcode == 0x42810000u || c.opcode == 0x42C10000u ||
                  c.opcode == 0x42820000u || c.opcode == 0x42C20000u;
         };
         for (const auto& c : cmds) {
           char name[16];
           std::snprintf(name, sizeof name, "%05u.mpls", c.dst);
           if (!plays(c) || !fs::exists(d / "PLAYLIST" / name)) continue;
           fs::remove(d / "PLAYLIST" / name);
           fs::remove(d / "BACKUP" / "PLAYLIST" / name);
           for (const auto& o : cmds)
             if (plays(o) && o.dst == c.dst)
               exp.push_back({Severity::Error, "mobj.command.playlist-missing", "MovieObject.bdmv",
                              "object " + std::to_string(o.object) + ", line " + std::to_string(o.line)});
           return true;
         }
         return false;
       }},
      {"PlayItem to a missing clip",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto pl = firstPlaylist(d, [](const auto& b) { return !playItems(b).empty(); });
         if (!pl) return false;
         auto b = test::readFile(d / "PLAYLIST" / *pl);
         const size_t p = playItems(b)[0];
         std::copy_n("99999", 5, b.begin() + p + 2);
         writeBoth(d, "PLAYLIST/" + *pl, b);
         exp.push_back({Severity::Error, "mpls.playitem.clip-missing", "PLAYLIST/" + *pl, "PlayItem 0"});
         return true;
       }},
      {"mark to a missing PlayItem",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto pl = firstPlaylist(d, [](const auto& b) { return be16(b, be32(b, 12) + 4) > 0; });
         if (!pl) return false;
         auto b = test::readFile(d / "PLAYLIST" / *pl);
         put16(b, be32(b, 12) + 6 + 2, 0x7FFF);
         writeBoth(d, "PLAYLIST/" + *pl, b);
         exp.push_back({Severity::Error, "mpls.mark.playitem-out-of-range", "PLAYLIST/" + *pl, "mark 0"});
         return true;
       }},
      {"mark past its PlayItem",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto pl = firstPlaylist(d, [](const auto& b) {
           const size_t m = be32(b, 12);
           return be16(b, m + 4) > 0 && be16(b, m + 8) < playItems(b).size();
         });
         if (!pl) return false;
         auto b = test::readFile(d / "PLAYLIST" / *pl);
         const size_t m = be32(b, 12) + 6;
         const size_t item = playItems(b)[be16(b, m + 2)];
         put32(b, m + 4, be32(b, item + 18) + 45000);  // one second after the PlayItem's out time
         writeBoth(d, "PLAYLIST/" + *pl, b);
         exp.push_back({Severity::Warning, "mpls.mark.time-outside-playitem", "PLAYLIST/" + *pl, "mark 0"});
         return true;
       }},
      {"PlayList length too long",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto pl = firstPlaylist(d, [](const auto& b) { return be32(b, 12) > be32(b, 8); });
         if (!pl) return false;
         auto b = test::readFile(d / "PLAYLIST" / *pl);
         const size_t s = be32(b, 8);
         put32(b, s, be32(b, s) + 16);
         writeBoth(d, "PLAYLIST/" + *pl, b);
         exp.push_back({Severity::Error, "mpls.section.overlaps", "PLAYLIST/" + *pl, at(s)});
         return true;
       }},
      {"bytes after the last section",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto pl = firstPlaylist(d, [](const auto&) { return true; });
         if (!pl) return false;
         auto b = test::readFile(d / "PLAYLIST" / *pl);
         const size_t size = b.size();
         b.resize(size + 7, 0xAB);
         writeBoth(d, "PLAYLIST/" + *pl, b);
         exp.push_back({Severity::Warning, "mpls.trailing-bytes", "PLAYLIST/" + *pl, at(size)});
         return true;
       }},
      {"forbidden command",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "MovieObject.bdmv");
         const auto cmds = commands(b);
         if (cmds.empty()) return false;
         put32(b, cmds[0].pos, 0x22840000u);  // Link PI: only a button may use it
         test::writeFile(d / "MovieObject.bdmv", b);
         exp.push_back({Severity::Error, "mobj.command.forbidden", "MovieObject.bdmv", "object 0, line 0"});
         exp.push_back({Severity::Warning, "backup.differs", "MovieObject.bdmv", at(cmds[0].pos)});
         return true;
       }},
      {"invalid command",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "MovieObject.bdmv");
         const auto cmds = commands(b);
         if (cmds.empty()) return false;
         const auto& c = cmds.back();
         put32(b, c.pos, 0xFFFFFFFFu);
         writeBoth(d, "MovieObject.bdmv", b);
         exp.push_back({Severity::Error, "mobj.command.invalid", "MovieObject.bdmv",
                        "object " + std::to_string(c.object) + ", line " + std::to_string(c.line)});
         return true;
       }},
      {"GoTo past the end",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "MovieObject.bdmv");
         const auto cmds = commands(b);
         if (cmds.empty()) return false;
         put32(b, cmds[0].pos, 0x20810000u);
         put32(b, cmds[0].pos + 4, 5000);
         put32(b, cmds[0].pos + 8, 0);
         writeBoth(d, "MovieObject.bdmv", b);
         exp.push_back({Severity::Error, "mobj.command.goto-out-of-range", "MovieObject.bdmv", "object 0, line 0"});
         return true;
       }},
      {"Jump Title to a missing title",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "MovieObject.bdmv");
         const auto idx = test::readFile(d / "index.bdmv");
         const size_t titles = be16(idx, be32(idx, 8) + 4 + 24);
         const auto cmds = commands(b);
         if (cmds.empty()) return false;
         const auto& c = cmds[cmds.size() / 2];
         put32(b, c.pos, 0x21810000u);
         put32(b, c.pos + 4, uint32_t(titles + 1));
         put32(b, c.pos + 8, 0);
         writeBoth(d, "MovieObject.bdmv", b);
         exp.push_back({Severity::Error, "mobj.command.title-missing", "MovieObject.bdmv",
                        "object " + std::to_string(c.object) + ", line " + std::to_string(c.line)});
         return true;
       }},
      {"title to a missing movie object",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "index.bdmv");
         const size_t t0 = be32(b, 8) + 4 + 24 + 2;
         if (be16(b, t0 - 2) == 0 || (b[t0] >> 6) != 1) return false;  // no titles, or title 1 is not HDMV
         put16(b, t0 + 6, 0xFFF0);
         writeBoth(d, "index.bdmv", b);
         exp.push_back({Severity::Error, "index.title.object-missing", "index.bdmv", "title 1"});
         return true;
       }},
      {"BACKUP copy differs",
       [](const fs::path& d, std::vector<Expected>& exp) {
         auto b = test::readFile(d / "BACKUP" / "index.bdmv");
         if (b.size() < 41) return false;
         b[40] ^= 0x5A;
         test::writeFile(d / "BACKUP" / "index.bdmv", b);
         exp.push_back({Severity::Warning, "backup.differs", "index.bdmv", at(40)});
         return true;
       }},
  };
  return list;
}

}  // namespace

TEST_F(SeededFault, EachFaultOnFixtureDiscsIsReportedAloneWithItsPlace) {
  MORVEX_REQUIRE_FIXTURES();
  const auto discs = test::fixtureDiscs();
  ASSERT_FALSE(discs.empty());
  for (const auto& [name, fault] : allFaults()) {
    int applied = 0;
    // Four discs of different makers are enough to meet each fault in several layouts.
    for (size_t i = 0; i < discs.size(); i += std::max<size_t>(1, discs.size() / 4))
      if (seed(discs[i], name, fault)) ++applied;
    EXPECT_GT(applied, 0) << name << " applied to no disc";
  }
}

#ifdef MORVEX_MAKE_DEMO_PATH
namespace {

// The demo disc, generated afresh.
fs::path makeDemo(const test::TempDir& tmp) {
  const fs::path bdmv = tmp / "demo" / "BDMV";
  const std::string cmd = std::string("'") + MORVEX_MAKE_DEMO_PATH + "' '" + bdmv.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  return bdmv;
}

}  // namespace

TEST_F(SeededFault, EachFaultOnTheDemoDisc) {
  test::TempDir tmp;
  const fs::path demo = makeDemo(tmp);
  ASSERT_TRUE(fs::exists(demo / "index.bdmv"));
  for (const auto& [name, fault] : allFaults()) EXPECT_TRUE(seed(demo, name, fault)) << name;

  // The menu clip: playlist 00000 (the Top Menu's) plays it and lists its IG stream.
  const std::string clip = "00000";
  ASSERT_TRUE(fs::exists(demo / "STREAM" / (clip + ".m2ts")));
  EXPECT_TRUE(seed(demo, "stream longer than its packet count", [&](const fs::path& d, std::vector<Expected>& exp) {
    std::ofstream f(d / "STREAM" / (clip + ".m2ts"), std::ios::binary | std::ios::app);
    // Three well-formed null packets (PID 0x1FFF): a longer stream and nothing else wrong.
    std::string nullPacket(4, '\0');
    nullPacket += std::string("\x47\x1F\xFF\x10", 4) + std::string(184, '\xFF');
    for (int i = 0; i < 3; ++i) f << nullPacket;
    exp.push_back({Severity::Error, "clpi.clipinfo.packet-count", "CLIPINF/" + clip + ".clpi", at(56)});
    return true;
  }));
  // A playlist a title reaches cannot play without its stream: an error; once no title
  // reaches it (the Top Menu's object plays another playlist), a warning.
  EXPECT_TRUE(seed(demo, "stream file missing", [&](const fs::path& d, std::vector<Expected>& exp) {
    fs::remove(d / "STREAM" / (clip + ".m2ts"));
    exp.push_back({Severity::Warning, "clpi.stream-missing", "CLIPINF/" + clip + ".clpi", "ClipInfo"});
    exp.push_back({Severity::Error, "mpls.playitem.stream-missing", "PLAYLIST/00000.mpls", "PlayItem 0"});
    return true;
  }));
  EXPECT_TRUE(seed(demo, "unreachable playlist's stream missing", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto mobj = test::readFile(d / "MovieObject.bdmv");
    for (const Cmd& c : commands(mobj))
      if (c.opcode == 0x22800000u && c.dst == 0) put32(mobj, c.pos + 4, 2);  // PlayPL 0 -> PlayPL 2
    writeBoth(d, "MovieObject.bdmv", mobj);
    fs::remove(d / "STREAM" / (clip + ".m2ts"));
    exp.push_back({Severity::Warning, "clpi.stream-missing", "CLIPINF/" + clip + ".clpi", "ClipInfo"});
    exp.push_back({Severity::Warning, "mpls.playitem.stream-missing", "PLAYLIST/00000.mpls", "PlayItem 0"});
    return true;
  }));
  // The stream tables name another IG PID (playlist 00000 in its main path, 00002
  // through its SubPath): the clip's menu is listed nowhere, and the PID listed for
  // the main path is not in the clip.
  EXPECT_TRUE(seed(demo, "stream table lists the wrong IG PID", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto pl = test::readFile(d / "PLAYLIST" / "00000.mpls");
    const uint8_t entry[] = {0x09, 0x01, 0x14, 0x00};
    auto it = std::search(pl.begin(), pl.end(), std::begin(entry), std::end(entry));
    if (it == pl.end()) return false;
    *(it + 3) = 0x01;
    writeBoth(d, "PLAYLIST/00000.mpls", pl);
    auto sub = test::readFile(d / "PLAYLIST" / "00002.mpls");
    size_t found = 0;
    for (size_t i = 0; i + 6 <= sub.size(); ++i)
      if (sub[i] == 0x09 && sub[i + 1] == 0x02 && sub[i + 4] == 0x14 && sub[i + 5] == 0x00) sub[i + 5] = 0x01, ++found;
    if (found != 1) return false;
    writeBoth(d, "PLAYLIST/00002.mpls", sub);
    exp.push_back({Severity::Error, "mpls.stn.ig-pid-missing", "PLAYLIST/00000.mpls", "PlayItem 0"});
    exp.push_back({Severity::Warning, "clpi.ig.unlisted", "CLIPINF/" + clip + ".clpi", "ProgramInfo"});
    return true;
  }));
  // The stream's own bytes: the first IG packet's PES and its PMT entries.
  auto firstIgPes = [](std::vector<uint8_t>& ts) -> uint8_t* {
    for (size_t p = 0; p + 192 <= ts.size(); p += 192) {
      uint8_t* tp = ts.data() + p + 4;
      if (((tp[1] & 0x1F) << 8 | tp[2]) != 0x1400 || !(tp[1] & 0x40)) continue;
      return tp + 4 + ((tp[3] & 0x20) ? 1 + tp[4] : 0);
    }
    return nullptr;
  };
  const std::string rel = "STREAM/" + clip + ".m2ts";
  EXPECT_TRUE(seed(demo, "composition stamped before the PlayItem", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto ts = test::readFile(d / rel);
    uint8_t* pes = firstIgPes(ts);
    if (!pes || pes[9 + pes[8]] != 0x18) return false;
    const uint8_t zero[] = {uint8_t((pes[9] & 0xF0) | 1), 0, 1, 0, 1};  // PTS 0
    std::copy(std::begin(zero), std::end(zero), pes + 9);
    test::writeFile(d / rel, ts);
    exp.push_back({Severity::Error, "stream.ig.outside-playitems", rel, "PID 0x1400"});
    return true;
  }));
  EXPECT_TRUE(seed(demo, "first display set not an epoch start", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto ts = test::readFile(d / rel);
    uint8_t* pes = firstIgPes(ts);
    if (!pes) return false;
    pes[9 + pes[8] + 3 + 7] = 0x00;  // composition_state: normal case
    test::writeFile(d / rel, ts);
    exp.push_back({Severity::Error, "stream.ig.first-not-epoch-start", rel, "PID 0x1400"});
    return true;
  }));
  EXPECT_TRUE(seed(demo, "PMT without the registration", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto ts = test::readFile(d / rel);
    const uint8_t reg[] = {0x91, 0xF4, 0x00, 0xF0, 0x06, 0x05, 0x04, 'H', 'D', 'M', 'V'};
    size_t changed = 0;
    for (auto it = ts.begin(); (it = std::search(it, ts.end(), std::begin(reg), std::end(reg))) != ts.end(); ++it)
      *(it + 5) = 0x06, ++changed;  // another descriptor in its place
    if (!changed) return false;
    test::writeFile(d / rel, ts);
    exp.push_back({Severity::Warning, "stream.pmt.registration-missing", rel, "PMT"});
    return true;
  }));
  // The PMT entry of the menu's PID turned into a PG entry: the stream still carries
  // IG packets on 0x1400, but the program map no longer declares them.
  EXPECT_TRUE(seed(demo, "PMT does not declare the IG stream", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto ts = test::readFile(d / rel);
    const uint8_t entry[] = {0x91, 0xF4, 0x00};
    size_t changed = 0;
    for (auto it = ts.begin(); (it = std::search(it, ts.end(), std::begin(entry), std::end(entry))) != ts.end(); ++it)
      *it = 0x90, ++changed;
    if (!changed) return false;
    test::writeFile(d / rel, ts);
    exp.push_back({Severity::Error, "stream.pmt.ig-undeclared", rel, "PMT"});
    return true;
  }));
  // A second display set, stamped a second before the first: the composition's packets
  // and the END packet copied over the null packets that close the stream, their PTS
  // moved back.
  EXPECT_TRUE(seed(demo, "composition stamped before the one ahead", [&](const fs::path& d, std::vector<Expected>& exp) {
    auto ts = test::readFile(d / rel);
    auto pidOf = [&](size_t p) { return (ts[p + 5] & 0x1F) << 8 | ts[p + 6]; };
    std::vector<size_t> starts, nulls;  // packets that start an IG PES; null packets
    for (size_t p = 0; p + 192 <= ts.size(); p += 192) {
      if (pidOf(p) == 0x1400 && (ts[p + 5] & 0x40)) starts.push_back(p);
      if (pidOf(p) == 0x1FFF) nulls.push_back(p);
    }
    if (starts.size() < 2) return false;
    std::vector<size_t> copied;  // the composition's packets, then the END's
    for (size_t p = starts[0]; p < starts[1]; p += 192)
      if (pidOf(p) == 0x1400) copied.push_back(p);
    copied.push_back(starts.back());
    if (nulls.size() < copied.size() || nulls[0] < starts.back()) return false;
    for (size_t i = 0; i < copied.size(); ++i) {
      uint8_t* tp = ts.data() + nulls[i] + 4;
      std::copy_n(ts.begin() + copied[i] + 4, 188, tp);
      if (!(tp[1] & 0x40)) continue;
      uint8_t* s = tp + 4 + ((tp[3] & 0x20) ? 1 + tp[4] : 0) + 9;  // the PES's PTS
      const uint64_t pts = (uint64_t(s[0] & 0x0E) << 29) | (uint64_t(s[1]) << 22) | (uint64_t(s[2] & 0xFE) << 14) |
                           (uint64_t(s[3]) << 7) | (s[4] >> 1);
      const uint64_t earlier = pts - 90000;
      s[0] = uint8_t((s[0] & 0xF0) | ((earlier >> 29) & 0x0E) | 1);
      s[1] = uint8_t(earlier >> 22);
      s[2] = uint8_t(((earlier >> 14) & 0xFE) | 1);
      s[3] = uint8_t(earlier >> 7);
      s[4] = uint8_t(((earlier << 1) & 0xFE) | 1);
    }
    test::writeFile(d / rel, ts);
    exp.push_back({Severity::Error, "stream.ig.pts-decreasing", rel, "PID 0x1400"});
    return true;
  }));
  // The clip information's CPI declared empty: the clip keeps its stream, but a player
  // finds no entry points in it.
  EXPECT_TRUE(seed(demo, "EP map empty", [&](const fs::path& d, std::vector<Expected>& exp) {
    const std::string ci = "CLIPINF/" + clip + ".clpi";
    auto b = test::readFile(d / ci);
    const size_t cpi = be32(b, 16);
    if (cpi == 0 || be32(b, cpi) == 0) return false;
    put32(b, cpi, 0);
    writeBoth(d, ci, b);
    exp.push_back({Severity::Error, "clpi.cpi.ep-map-empty", ci, "CPI"});
    return true;
  }));
}
#endif

#include "check/player_rules.h"

#include <fstream>
#include <set>

#include "check/menu_check.h"
#include "core/text.h"
#include "hdmv/command.h"

namespace morvex::check {

namespace fs = std::filesystem;
using core::Severity;

namespace {

constexpr uint8_t kIgType = 0x91;
bool isIgPid(uint16_t pid) { return pid >= 0x1400 && pid <= 0x141F; }
std::string pidText(uint16_t pid) { return "0x" + core::hexText(pid, 4); }
std::string timeOf(uint64_t ticks90k) { return core::timeText(ticks90k / 90); }

// The IG PID a stream-table entry names: the main path's PID, or a SubPath's.
uint16_t entryPid(const playlist::Stream& s) { return s.entry.type == 1 ? s.entry.mainPID : s.entry.subPID; }

bool clipHasIg(const clip::ClipInfo& c, uint16_t pid) {
  for (const auto& p : c.programInfo.programSequences)
    for (const auto& s : p.streams)
      if (s.pid == pid) return true;
  return false;
}

std::vector<uint16_t> clipIgPids(const clip::ClipInfo& c) {
  std::set<uint16_t> pids;
  for (const auto& p : c.programInfo.programSequences)
    for (const auto& s : p.streams)
      if (s.codingType == kIgType) pids.insert(s.pid);
  return {pids.begin(), pids.end()};
}

bool cpiEmpty(const clip::ClipInfo& c) {
  if (c.cpi.length == 0 || c.cpi.maps.empty()) return true;
  for (const auto& m : c.cpi.maps)
    if (!m.fine.empty()) return false;
  return true;
}

}  // namespace

std::set<std::string> reachablePlaylists(const nav::IndexTable& index, const nav::MovieObjectFile& mobj) {
  const auto& objects = mobj.movieObjects.objects;
  const auto& titles = index.indexes.titles;
  std::set<std::string> playlists;
  std::vector<bool> seen(objects.size(), false);
  std::vector<size_t> todo;
  auto reach = [&](const nav::Title& t) {
    if (t.isHdmv() && t.objectId < objects.size() && !seen[t.objectId]) {
      seen[t.objectId] = true;
      todo.push_back(t.objectId);
    }
  };
  reach(index.indexes.firstPlayback);
  reach(index.indexes.topMenu);
  for (const auto& t : titles) reach(t);
  while (!todo.empty()) {
    const size_t o = todo.back();
    todo.pop_back();
    for (const auto& c : objects[o].commands) {
      if (!hdmv::isValid(c.opcode)) continue;
      const auto dec = hdmv::decode(c.opcode);
      if (dec.group != 0 || !dec.imm1) continue;
      if (dec.subGroup == 1 && (dec.operation == 0 || dec.operation == 2) && c.dst < objects.size() && !seen[c.dst]) {
        seen[c.dst] = true;
        todo.push_back(c.dst);
      }
      if (dec.subGroup == 2 && dec.operation <= 2 && c.dst <= 99999) playlists.insert(core::decimalText(c.dst, 5));
    }
  }
  return playlists;
}

IgStreamFacts readIgStreamFacts(const fs::path& stream) {
  IgStreamFacts f;
  std::ifstream in(stream, std::ios::binary);
  if (!in) return f;
  uint16_t pmtPid = 0;
  std::map<uint16_t, std::vector<uint8_t>> pes;  // the PES packet being collected per IG PID
  auto finish = [&](uint16_t pid) {
    auto& b = pes[pid];
    if (b.size() >= 9 + 3 && b[0] == 0 && b[1] == 0 && b[2] == 1 && (b[7] & 0x80)) {
      const size_t body = 9 + size_t(b[8]);
      if (body + 3 <= b.size() && b[body] == 0x18) {
        const uint8_t* s = b.data() + 9;
        const uint64_t pts = (uint64_t(s[0] & 0x0E) << 29) | (uint64_t(s[1]) << 22) |
                             (uint64_t(s[2] & 0xFE) << 14) | (uint64_t(s[3]) << 7) | (s[4] >> 1);
        auto& p = f.pids[pid];
        // Segment body: video descriptor (5 bytes), composition number (2), state.
        if (p.compositionPts.empty() && body + 3 + 7 < b.size()) p.firstState = b[body + 3 + 7] >> 6;
        p.compositionPts.push_back(pts);
      }
    }
    b.clear();
  };
  std::vector<uint8_t> buf(192 * 4096);
  while (in) {
    in.read(reinterpret_cast<char*>(buf.data()), std::streamsize(buf.size()));
    const size_t n = size_t(in.gcount()) / 192;
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* tp = buf.data() + i * 192 + 4;
      if (tp[0] != 0x47) continue;
      const uint16_t pid = uint16_t((tp[1] & 0x1F) << 8 | tp[2]);
      const bool start = tp[1] & 0x40;
      size_t at = 4;
      if (tp[3] & 0x20) at += 1 + size_t(tp[4]);
      if (!(tp[3] & 0x10) || at >= 188) continue;
      if (pid == 0 && start && pmtPid == 0) {
        const size_t s = at + 1 + tp[at];
        if (s + 12 <= 188 && tp[s] == 0)
          for (size_t p = s + 8; p + 4 <= 188 && p + 4 <= s + 3 + size_t((tp[s + 1] & 0x0F) << 8 | tp[s + 2]) - 4;
               p += 4)
            if ((tp[p] << 8 | tp[p + 1]) != 0) {
              pmtPid = uint16_t((tp[p + 2] & 0x1F) << 8 | tp[p + 3]);
              break;
            }
      } else if (pid == pmtPid && pmtPid != 0 && start && !f.pmtSeen) {
        const size_t s = at + 1 + tp[at];
        if (s + 16 > 188 || tp[s] != 0x02) continue;
        f.pmtSeen = true;
        const size_t end = std::min<size_t>(188, s + 3 + size_t((tp[s + 1] & 0x0F) << 8 | tp[s + 2]) - 4);
        const size_t progInfo = size_t((tp[s + 10] & 0x0F) << 8 | tp[s + 11]);
        for (size_t p = s + 12 + progInfo; p + 5 <= end;) {
          const uint16_t epid = uint16_t((tp[p + 1] & 0x1F) << 8 | tp[p + 2]);
          const size_t es = size_t((tp[p + 3] & 0x0F) << 8 | tp[p + 4]);
          if (tp[p] == kIgType) {
            auto& d = f.pids[epid];
            d.declared = true;
            for (size_t q = p + 5; q + 2 <= p + 5 + es && q + 2 <= 188; q += 2 + tp[q + 1])
              if (tp[q] == 0x05) d.registration = true;
          }
          p += 5 + es;
        }
      } else if (isIgPid(pid)) {
        if (start) finish(pid);
        auto& b = pes[pid];
        b.insert(b.end(), tp + at, tp + 188);
      }
    }
  }
  for (auto& [pid, b] : pes) finish(pid);
  f.read = true;
  return f;
}

void checkPlayerRules(std::vector<Finding>& out, const PlayerRuleInput& in) {
  if (!in.playlists || !in.clips) return;
  const auto& playlists = *in.playlists;
  const auto& clips = *in.clips;
  std::set<std::string> reachable;
  const bool knowReach = in.index && in.mobj;
  if (knowReach) reachable = reachablePlaylists(*in.index, *in.mobj);

  // Per clip: the PlayItems that play it (their IN-OUT ranges) and the IG PIDs their
  // stream tables list for it.
  struct Use {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;  // 90 kHz
    std::set<uint16_t> listed;
  };
  std::map<std::string, Use> uses;
  // A folder whose STREAM holds no stream file at all is a copy of the metadata alone:
  // its clips are reported one by one as missing their streams, and the rules that
  // need a playable clip stay silent.
  bool anyStream = false;
  {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(in.folder / "STREAM", ec))
      if (e.path().extension() == in.streamExt) {
        anyStream = true;
        break;
      }
  }
  for (const auto& [name, m] : playlists) {
    Sink sink{"PLAYLIST/" + name + in.playlistExt, out};
    std::set<std::string> reported;
    for (size_t i = 0; i < m.playList.playItems.size(); ++i) {
      const auto& p = m.playList.playItems[i];
      const std::string where = "PlayItem " + std::to_string(i);
      Use& u = uses[p.clipName];
      u.ranges.push_back({uint64_t(p.inTime) * 2, uint64_t(p.outTime) * 2});
      for (const auto& s : p.stn.ig) {
        if (s.entry.type != 1) continue;  // SubPath menus come from their own clips
        u.listed.insert(s.entry.mainPID);
        auto c = clips.find(p.clipName);
        if (c != clips.end() && !clipHasIg(c->second, s.entry.mainPID))
          sink.add(Severity::Error, "mpls.stn.ig-pid-missing", where,
                   where + " lists IG stream " + pidText(s.entry.mainPID) + ", which clip " + p.clipName +
                       " does not carry");
      }
      for (const auto& sp : m.playList.subPaths)
        for (const auto& spi : sp.subPlayItems)
          for (const auto& s : p.stn.ig)
            if (s.entry.type == 2) uses[spi.clipName].listed.insert(entryPid(s));
      // A missing stream file: the player cannot open the clip.
      std::error_code ec;
      if (anyStream && !reported.count(p.clipName) && clips.count(p.clipName) &&
          !fs::is_regular_file(in.folder / "STREAM" / (p.clipName + in.streamExt), ec)) {
        reported.insert(p.clipName);
        const bool reach = !knowReach || reachable.count(name);
        sink.add(reach ? Severity::Error : Severity::Warning, "mpls.playitem.stream-missing", where,
                 where + " plays clip " + p.clipName + ", whose stream file STREAM/" + p.clipName + in.streamExt +
                     " is missing" + (reach ? "; a title plays this playlist" : " (no title reaches this playlist)"));
      }
    }
  }

  for (const auto& [name, c] : clips) {
    Sink sink{"CLIPINF/" + name + in.clipExt, out};
    const fs::path streamFile = in.folder / "STREAM" / (name + in.streamExt);
    std::error_code ec;
    const bool hasStream = fs::is_regular_file(streamFile, ec);
    if (hasStream && cpiEmpty(c))
      sink.add(Severity::Error, "clpi.cpi.ep-map-empty", "CPI",
               "the clip has no EP map entries; players may fail on key input");
    const auto it = uses.find(name);
    const std::vector<uint16_t> igPids = clipIgPids(c);
    for (uint16_t pid : igPids)
      if (it != uses.end() && !it->second.listed.count(pid))
        sink.add(Severity::Warning, "clpi.ig.unlisted", "ProgramInfo",
                 "the clip carries IG stream " + pidText(pid) +
                     ", which no stream table of a playlist playing it lists; players never show it");
    if (!in.readStreams || igPids.empty()) continue;
    if (!hasStream) continue;
    const IgStreamFacts f = readIgStreamFacts(streamFile);
    if (!f.read) continue;
    Sink ssink{"STREAM/" + name + in.streamExt, out};
    for (uint16_t pid : igPids) {
      const auto p = f.pids.find(pid);
      if (f.pmtSeen && (p == f.pids.end() || !p->second.declared))
        ssink.add(Severity::Error, "stream.pmt.ig-undeclared", "PMT",
                  "the program map does not declare IG stream " + pidText(pid));
      else if (f.pmtSeen && !p->second.registration)
        ssink.add(Severity::Warning, "stream.pmt.registration-missing", "PMT",
                  "the program map declares IG stream " + pidText(pid) + " without a registration descriptor");
      if (p == f.pids.end() || p->second.compositionPts.empty()) continue;
      const auto& pts = p->second.compositionPts;
      const std::string where = "PID " + pidText(pid);
      if (p->second.firstState != 2)
        ssink.add(Severity::Error, "stream.ig.first-not-epoch-start", where,
                  "the first display set of " + pidText(pid) + " is not an epoch start");
      for (size_t k = 1; k < pts.size(); ++k)
        if (pts[k] < pts[k - 1]) {
          ssink.add(Severity::Error, "stream.ig.pts-decreasing", where,
                    "composition " + std::to_string(k) + " of " + pidText(pid) + " is stamped " + timeOf(pts[k]) +
                        ", before the one ahead of it (" + timeOf(pts[k - 1]) + ")");
          break;
        }
      if (it == uses.end() || it->second.ranges.empty()) continue;
      bool inside = false;
      for (const auto& [a, b] : it->second.ranges) inside = inside || (pts[0] >= a && pts[0] < b);
      if (!inside)
        ssink.add(Severity::Error, "stream.ig.outside-playitems", where,
                  "the menu's first composition (" + timeOf(pts[0]) +
                      ") lies outside every IN-OUT range of the PlayItems playing the clip; players drop it");
    }
  }
}

}  // namespace morvex::check

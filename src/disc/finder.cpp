#include "disc/finder.h"

#include <unordered_map>

#include "core/text.h"
#include "playlist/mpls_reader.h"

namespace fs = std::filesystem;

namespace morvex::disc {

int playlistNumber(const std::string& name) {
  auto v = core::parseDecimal(name, 9);
  return v ? int(*v) : -1;
}

std::vector<std::string> findPlaylistCommands(const nav::MovieObjectFile& mobj, int number) {
  std::vector<std::string> lines;
  if (number < 0) return lines;
  const auto& objs = mobj.movieObjects.objects;
  for (size_t o = 0; o < objs.size(); ++o) {
    const auto& cmds = objs[o].commands;
    for (size_t c = 0; c < cmds.size(); ++c) {
      switch (cmds[c].opcode) {
        case 0x22800000:  // Play PL, immediate playlist
        case 0x42810000:  // Play PL_PI, PlayItem from a register
        case 0x42C10000:  // Play PL_PI, both immediate
        case 0x42820000:  // Play PL_MK, mark from a register
        case 0x42C20000:  // Play PL_MK, both immediate
          if (cmds[c].dst == uint32_t(number)) {
            lines.push_back("Object " + core::decimalText(o, 4) + ", Command line " + core::decimalText(c, 4));
          }
          break;
        default:
          break;
      }
    }
  }
  return lines;
}

void logPlaylistCommands(core::Log& log, const std::string& playlistName, const std::vector<std::string>& lines) {
  log.info("");
  log.info("PlayList [b]" + playlistName + "[/b] found in:");
  // The lines carry no markup; anything bracketed in them stays visible.
  for (const auto& l : lines) log.info(l);
}

ClipSearchResult findClipReferences(DiscLoad& disc, core::Log& log, core::Progress* progress) {
  ClipSearchResult res;
  disc.ciRefs.assign(disc.clipinfos.size(), {});
  std::unordered_map<std::string, size_t> clipIndex;
  for (size_t i = 0; i < disc.clipinfos.size(); ++i) clipIndex.emplace(disc.clipinfos[i], i);  // first of equal names
  // Whether STREAM/<clip><ext> exists, asked once per clip name.
  std::unordered_map<std::string, bool> streamExists;
  auto hasStream = [&](const std::string& clip) {
    auto it = streamExists.find(clip);
    if (it != streamExists.end()) return it->second;
    std::error_code ec;
    bool e = fs::exists(disc.folder / "STREAM" / (clip + disc.names.streamext), ec);
    streamExists.emplace(clip, e);
    return e;
  };
  if (progress) progress->start(disc.playlists.size());
  playlist::ReadOptions opt;
  opt.silent = true;
  for (size_t i = 0; i < disc.playlists.size(); ++i) {
    const std::string& name = disc.playlists[i];
    const int P = playlistNumber(name);
    playlist::Playlist model;  // a model of its own for every playlist
    auto st = playlist::readPlaylistFile(disc.folder / "PLAYLIST" / (name + disc.names.playlistext), model, log, opt);
    if (progress) progress->setPosition(i + 1);
    if (!st.complete()) res.problems.push_back(st);
    if (st.refused()) {
      ++res.playlistsRejected;
      continue;
    }
    ++res.playlistsRead;
    const std::string file = name + disc.names.playlistext;
    auto reference = [&](const std::string& clip, char kind, size_t item, const std::string& where) {
      auto it = clipIndex.find(clip);
      if (it != clipIndex.end() && P >= 0) disc.ciRefs[it->second].push_back({uint16_t(P), kind, uint16_t(item)});
      if (!hasStream(clip)) {
        log.error("Missing stream file referenced by " + file + where);
        ++res.missingStreams;
      }
    };
    const auto& items = model.playList.playItems;
    for (size_t n = 0; n < items.size(); ++n) reference(items[n].clipName, 'p', n, ", PlayItem " + std::to_string(n));
    const auto& paths = model.playList.subPaths;
    for (size_t s = 0; s < paths.size(); ++s)
      for (size_t k = 0; k < paths[s].subPlayItems.size(); ++k)
        reference(paths[s].subPlayItems[k].clipName, 's', k,
                  ", SubPath " + std::to_string(s) + ", SubPlayItem " + std::to_string(k));
  }
  return res;
}

clip::GridRows ciRefRows(const ClipInfoRefs& refs) {
  clip::GridRows rows;
  for (size_t i = 0; i < refs.size(); ++i) {
    rows.push_back({std::to_string(i + 1), core::decimalText(unsigned(refs[i].playlist), 5),
                    std::string(1, refs[i].kind), core::decimalText(unsigned(refs[i].item), 5)});
  }
  return rows;
}

RefJump refJump(const clip::GridRow& row) {
  RefJump j;
  if (row.size() < 4) return j;
  j.playlist = row[1];
  if (row[2] == "p" && row[3] > "00000") j.playItemRow = playlistNumber(row[3]) + 1;
  return j;
}

}  // namespace morvex::disc

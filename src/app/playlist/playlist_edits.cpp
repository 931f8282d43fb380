#include "app/playlist/playlist_edits.h"

#include <string>

#include "playlist/grid_text.h"
#include "playlist/stream_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

void warnReferences(const pl::Playlist& m, core::Log& log) {
  const auto& list = m.playList;
  const size_t npi = list.playItems.size(), nsp = list.subPaths.size();
  for (size_t k = 0; k < m.playListMark.marks.size(); ++k) {
    const auto ref = m.playListMark.marks[k].playItemRef;
    if (ref >= npi)
      log.warning("Mark " + std::to_string(k) + " refers to PlayItem " + std::to_string(ref) + ", but the playlist has " +
                  std::to_string(npi) + " PlayItem(s)");
  }
  for (size_t p = 0; p < npi; ++p)
    for (int kind = 0; kind < 7; ++kind) {
      const auto& stn = list.playItems[p].stn;
      for (unsigned s = 0; s < pl::streamCount(stn, pl::StreamKind(kind)); ++s) {
        const pl::Stream* st = pl::streamAt(stn, pl::StreamKind(kind), s);
        // Only entries of type 2 and 3 name a SubPath.
        if (!st || (st->entry.type != 2 && st->entry.type != 3)) continue;
        if (st->entry.subPathId < nsp) continue;
        log.warning("PlayItem " + std::to_string(p) + ": a " + std::string(pl::stnCountHeader()[size_t(kind)]) +
                    " stream refers to SubPath " + std::to_string(st->entry.subPathId) + ", but the playlist has " +
                    std::to_string(nsp) + " SubPath(s)");
      }
    }
}

}  // namespace morvex::app

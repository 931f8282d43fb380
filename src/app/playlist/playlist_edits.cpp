#include "app/playlist/playlist_edits.h"

#include <algorithm>
#include <string>

#include "check/checker.h"
#include "playlist/grid_text.h"
#include "playlist/stream_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

bool acceptTimes(const pl::Playlist& before, const pl::Playlist& after, core::Log& log) {
  const auto was = check::checkPlaylistTimes(before, "");
  bool ok = true;
  for (const auto& f : check::checkPlaylistTimes(after, "")) {
    // What the playlist already had is not the typed value's doing.
    if (std::find(was.begin(), was.end(), f) != was.end()) continue;
    if (f.severity == core::Severity::Error) {
      log.error(f.message + ": the value is not taken.");
      ok = false;
    } else {
      log.warning(f.message);
      log.status(core::StatusPanel::Detail, "Warning: " + f.message);
    }
  }
  return ok;
}

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

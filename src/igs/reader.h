#pragma once
// Reading a menu: a sequence of "IG" units (a .mnu file, or the IG-framed output of
// the demultiplexer), each one segment behind a 10-byte header:
//   "IG", PTS (4), DTS (4), then the segment: type (1), length L (2), L payload bytes.
#include <filesystem>
#include <span>

#include "core/log.h"
#include "core/progress.h"
#include "igs/model.h"

namespace morvex::igs {

// Reads a framed segment file image into `menu` (everything it held is discarded
// first), then parses the pages. Returns true when a composition was read and the
// menu can be shown (menu.loaded).
bool loadMNU(Menu& menu, std::span<const uint8_t> bytes, core::Log& log, core::Progress* progress = nullptr);
// Same for a file; a file that cannot be read is reported with erlog.
bool loadMNU(Menu& menu, const std::filesystem::path& file, core::Log& log, core::Progress* progress = nullptr);

// Parses the pages from the composition page data (every composition segment's span
// of the work store, in order) into menu.ics.pages and builds menu.pageButtons.
void getIGS(Menu& menu, core::Log& log, core::Progress* progress = nullptr);

// Parses serialized pages (the page-data layout) into pages; used by getIGS.
// Returns false when the data ended inside a page (what was read is kept).
bool parsePages(std::span<const uint8_t> data, size_t count, std::vector<TPage>& pages, core::Log& log,
                core::Progress* progress = nullptr);

}  // namespace morvex::igs

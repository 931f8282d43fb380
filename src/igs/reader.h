#pragma once
// Reading a menu: a sequence of "IG" units (a .mnu file, or the IG-framed output of
// the demultiplexer), each one segment behind a 10-byte header:
//   "IG", PTS (4), DTS (4), then the segment: type (1), length L (2), L payload bytes.
#include <filesystem>
#include <span>

#include "core/log.h"
#include "core/read_result.h"
#include "core/progress.h"
#include "igs/model.h"

namespace morvex::igs {

// Reads a framed segment file image into `menu` (everything it held is discarded
// first), then parses the pages. The menu can be shown (menu.loaded) unless the result
// is refused: no composition segment (not a menu), or the user cancelled. Reading
// stops at the end segment; bytes after it are not looked at. A unit cut short, a
// unit that does not start with "IG", a segment of unknown type or page data that
// ends inside a page make the result partial.
core::ReadResult readMenu(std::span<const uint8_t> image, const std::string& fileName, Menu& menu, core::Log& log,
                         core::Progress* progress = nullptr);
// Same for a file; a file that cannot be read is reported as an error and refused.
core::ReadResult readMenu(const std::filesystem::path& file, Menu& menu, core::Log& log,
                         core::Progress* progress = nullptr);

// Parses the pages from the composition page data (every composition segment's span
// of the work store, in order) into menu.ics.pages and builds menu.pageButtons.
// Returns false when the page data ended inside a page (what was read is kept).
bool decodeMenu(Menu& menu, core::Log& log, core::Progress* progress = nullptr);

// Parses serialized pages (the page-data layout) into pages; used by decodeMenu.
// Returns false when the data ended inside a page (what was read is kept).
bool readPages(std::span<const uint8_t> data, size_t count, std::vector<Page>& pages, core::Log& log,
                core::Progress* progress = nullptr);

}  // namespace morvex::igs

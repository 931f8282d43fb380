#include "igs/extract.h"

#include "clip/demux.h"
#include "core/save.h"
#include "igs/reader.h"

namespace morvex::igs {

StreamMenu extractMenu(const std::filesystem::path& stream, uint16_t pid, core::Log& log, core::Progress* progress) {
  StreamMenu out;
  clip::DemuxResult r = clip::demuxToMemory(stream, pid, clip::DemuxMode::Menu, out.framed, kMaxMenuData, log, progress);
  out.cancelled = r.cancelled;
  out.pidPackets = r.pidPackets;
  if (!r.ok) {
    out.error = r.error;
    return out;
  }
  out.ok = true;
  return out;
}

bool loadMenuFromStream(Menu& menu, const std::filesystem::path& stream, uint16_t pid, core::Log& log,
                        core::Progress* progress) {
  StreamMenu s = extractMenu(stream, pid, log, progress);
  if (!s.ok) {
    log.erlog(s.error);
    return false;
  }
  if (s.cancelled) return false;
  return loadMNU(menu, std::span<const uint8_t>(s.framed), log, progress);
}

MenuSource menuSourceKind(const std::filesystem::path& file, bool use83names) {
  const std::string ext = file.extension().string();
  if (ext == ".mnu") return MenuSource::MenuFile;
  if (ext == core::FileNames::make(use83names).streamext) return MenuSource::Stream;
  return MenuSource::Other;
}

bool loadMenuSource(Menu& menu, const std::filesystem::path& file, bool use83names, core::Log& log,
                    core::Progress* progress) {
  switch (menuSourceKind(file, use83names)) {
    case MenuSource::MenuFile: return loadMNU(menu, file, log, progress);
    case MenuSource::Stream: return loadMenuFromStream(menu, file, kDefaultIgPid, log, progress);
    case MenuSource::Other: return false;
  }
  return false;
}

}  // namespace morvex::igs

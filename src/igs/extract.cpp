#include "igs/extract.h"

#include "core/save.h"
#include "core/text.h"
#include "igs/reader.h"
#include "ts/demux.h"

namespace morvex::igs {

StreamMenu extractMenu(const std::filesystem::path& stream, uint16_t pid, core::Log& log, core::Progress* progress) {
  StreamMenu out;
  ts::DemuxResult r = ts::demuxToMemory(stream, pid, ts::DemuxMode::Menu, out.framed, kMaxMenuData, log, progress);
  out.cancelled = r.cancelled;
  out.pidPackets = r.pidPackets;
  if (!r.ok) {
    out.error = r.error;
    return out;
  }
  out.ok = true;
  if (r.damaged()) out.damage = r.damageText();
  return out;
}

core::ReadResult loadMenuFromStream(const std::filesystem::path& stream, uint16_t pid, Menu& menu, core::Log& log,
                                    core::Progress* progress) {
  const std::string name = stream.filename().string();
  StreamMenu s = extractMenu(stream, pid, log, progress);
  if (!s.ok) {
    log.error(s.error);
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, name + ": " + s.error);
  }
  if (s.cancelled) return core::ReadResult::refusal(core::ReadIssue::Cancelled, 0, name + ": reading was cancelled");
  if (s.framed.empty())
    return core::ReadResult::refusal(core::ReadIssue::WrongKind, 0,
                                     name + ": no interactive composition on PID " + core::hexText(pid, 4));
  core::ReadResult res = readMenu(std::span<const uint8_t>(s.framed), name, menu, log, progress);
  // Units of the menu may have been in the packets the stream lost.
  if (!s.damage.empty())
    res.addPartial(core::ReadIssue::Malformed, 0, name + ": the stream is damaged (" + s.damage + ")");
  return res;
}

namespace {

std::string lowerExtension(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return ext;
}

}  // namespace

MenuSource menuSourceKind(const std::filesystem::path& file) {
  const std::string ext = lowerExtension(file);
  if (ext == ".mnu") return MenuSource::MenuFile;
  if (ext == ".m2ts" || ext == ".mts") return MenuSource::Stream;
  return MenuSource::Other;
}

core::ReadResult loadMenuSource(const std::filesystem::path& file, Menu& menu, core::Log& log, uint16_t pid,
                                core::Progress* progress) {
  MenuSource kind = menuSourceKind(file);
  if (kind == MenuSource::Other) {
    core::Bytes head;
    std::string err;
    if (!core::readWholeFile(file, head, err)) {
      log.error(core::displayPath(file) + ": " + err);
      return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, core::displayPath(file) + ": " + err);
    }
    // Source packets: a 4-byte arrival time stamp, then the transport packet's sync byte.
    if (head.size() >= 192 && head[4] == 0x47) kind = MenuSource::Stream;
    else if (head.size() >= 2 && head[0] == 'I' && head[1] == 'G') kind = MenuSource::MenuFile;
    else
      return core::ReadResult::refusal(core::ReadIssue::WrongKind, 0,
                                       file.filename().string() + ": not a menu file or AV stream");
  }
  if (kind == MenuSource::Stream) return loadMenuFromStream(file, pid, menu, log, progress);
  return readMenu(file, menu, log, progress);
}

}  // namespace morvex::igs

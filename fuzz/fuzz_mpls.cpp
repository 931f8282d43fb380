// Playlist reader on arbitrary bytes. Whatever reads completely must write and read
// back to the same file: the writer's output is a fixed point of read + write.
#include <cstddef>
#include <cstdint>

#include "playlist/chapters.h"
#include "playlist/grid_text.h"
#include "playlist/mpls_reader.h"
#include "playlist/mpls_writer.h"

using namespace morvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  core::NullLog log;
  playlist::Playlist m;
  core::Bytes image(data, data + size);
  auto read = playlist::readPlaylist(image, "fuzz.mpls", m, log);
  if (read.complete() != read.problems.empty()) __builtin_trap();
  if (!read.complete()) return 0;
  for (const auto& pi : m.playList.playItems) {
    playlist::playItemRow(pi, 0);
    playlist::angleRows(pi);
    for (int k = 0; k < 7; ++k) playlist::streamRows(pi.stn, playlist::StreamKind(k));
  }
  playlist::exportChapters(m, playlist::ChapterFormat::Frame);
  core::Bytes out = playlist::writePlaylist(m);
  playlist::Playlist again;
  if (!playlist::readPlaylist(out, "again.mpls", again, log).complete()) __builtin_trap();
  if (playlist::writePlaylist(again) != out) __builtin_trap();
  playlist::Playlist chapters = again;
  if (chapters.markStart != 0 && !chapters.playList.playItems.empty())
    playlist::importChapters(chapters, "0\r\n45000\r\n99999999999\r\n", playlist::ChapterFormat::PTS, log);
  return 0;
}

#pragma once
// A small disc of titles that really play: each title's movie object plays its own
// playlist of one clip, the clips are H.264 encoded by ffmpeg (1080p 23.976, a key frame
// every second), the clip information is computed from the streams, and each playlist
// has a chapter mark every `chapterSeconds`. No Top Menu, no First Play: what a muxer
// writes for a user's own videos.
#include <filesystem>
#include <string>

namespace morvex::test {

struct AvDiscOptions {
  size_t titles = 3;
  double seconds = 1.0;        // length of each title
  double chapterSeconds = 0;   // 0: one mark at the start
};

// Writes the disc into `bdmvFolder` (index.bdmv, MovieObject.bdmv and their BACKUP
// copies, PLAYLIST, CLIPINF, STREAM). The stream is encoded once and copied for every
// title. False with `error` when ffmpeg is missing or a file could not be written.
bool writeAvDisc(const std::filesystem::path& bdmvFolder, const AvDiscOptions& options, std::string& error);

}  // namespace morvex::test

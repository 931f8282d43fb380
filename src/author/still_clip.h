#pragma once
// A still picture as a short H.264 BD AV stream, encoded by ffmpeg run as a program:
// 1920x1080 at 23.976 frames a second, a key frame every second, no B-frames, the
// video on `pid` with the usual program map PID 0x0100, in 192-byte source packets.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/progress.h"
#include "menuview/image.h"

namespace morvex::author {

// A scratch folder removed with everything in it when the last owner goes.
class ScratchFolder {
public:
  static std::shared_ptr<ScratchFolder> make(std::string& error);
  ~ScratchFolder();
  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

struct StillClipResult {
  bool ok = false;
  bool cancelled = false;
  std::string error;
  std::filesystem::path stream;            // inside `scratch`
  std::shared_ptr<ScratchFolder> scratch;  // keeps the stream until dropped
};

// Encodes `picture` (1920x1080) as `seconds` of still video. Progress moves from
// `from` to `to` (of the caller's total) as ffmpeg reports its time, and a cancel
// request stops ffmpeg. ffmpeg missing from the PATH is a clear error.
StillClipResult encodeStillClip(const menuview::Image& picture, int seconds, uint16_t pid, core::Log& log,
                                core::Progress* progress = nullptr, uint64_t from = 0, uint64_t to = 100);

// True when an ffmpeg program can be started.
bool ffmpegAvailable();

}  // namespace morvex::author

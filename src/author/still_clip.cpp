#include "author/still_clip.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/save.h"
#include "menuview/picture_io.h"

extern char** environ;

namespace fs = std::filesystem;

namespace morvex::author {

std::shared_ptr<ScratchFolder> ScratchFolder::make(std::string& error) {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "morvex-author-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    error = "cannot make a scratch folder in " + base.string();
    return nullptr;
  }
  auto s = std::shared_ptr<ScratchFolder>(new ScratchFolder);
  s->path_ = pattern;
  return s;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {

// Runs a program with its output to `logFile`; returns its process id or -1.
pid_t spawn(const std::vector<std::string>& args, const fs::path& logFile) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  return rc == 0 ? pid : -1;
}

// The last "out_time_us=" ffmpeg's -progress output has written, in microseconds.
uint64_t reportedTime(const fs::path& progressFile) {
  std::ifstream in(progressFile);
  std::string line;
  uint64_t last = 0;
  while (std::getline(in, line))
    if (line.rfind("out_time_us=", 0) == 0) last = std::strtoull(line.c_str() + 12, nullptr, 10);
  return last;
}

}  // namespace

bool ffmpegAvailable() {
  const fs::path log = "/dev/null";
  const pid_t pid = spawn({"ffmpeg", "-hide_banner", "-version"}, log);
  if (pid < 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

StillClipResult encodeStillClip(const menuview::Image& picture, int seconds, uint16_t pid, core::Log& log,
                                core::Progress* progress, uint64_t from, uint64_t to) {
  StillClipResult r;
  if (!ffmpegAvailable()) {
    r.error = "ffmpeg is needed to encode the menu's background and could not be started (is it installed and on the PATH?)";
    return r;
  }
  r.scratch = ScratchFolder::make(r.error);
  if (!r.scratch) return r;
  const fs::path dir = r.scratch->path();
  const fs::path png = dir / "background.png";
  if (auto w = menuview::savePng(picture, png); !w.ok) {
    r.error = "the menu background could not be written for the encoder";
    return r;
  }
  r.stream = dir / "still.m2ts";
  const fs::path progressFile = dir / "progress.txt", logFile = dir / "ffmpeg.log";
  char pidText[16];
  std::snprintf(pidText, sizeof pidText, "0x%04X", unsigned(pid));
  const std::vector<std::string> args = {
      "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-progress", progressFile.string(),
      "-loop", "1", "-framerate", "24000/1001", "-i", png.string(), "-t", std::to_string(seconds),
      "-vf", "scale=1920:1080,format=yuv420p", "-c:v", "libx264", "-preset", "veryfast", "-tune", "stillimage",
      "-profile:v", "high", "-level", "4.1", "-crf", "20",
      "-x264-params", "threads=1:keyint=24:min-keyint=24:scenecut=0:bframes=0:aud=1:colorprim=bt709:transfer=bt709:colormatrix=bt709",
      "-threads", "1", "-bitexact", "-fflags", "+bitexact", "-flags:v", "+bitexact",
      "-f", "mpegts", "-muxrate", "12000000", "-mpegts_m2ts_mode", "1", "-mpegts_pmt_start_pid", "0x100", "-streamid",
      std::string("0:") + pidText, r.stream.string()};
  log.info("Encoding the menu background with ffmpeg...");
  const pid_t child = spawn(args, logFile);
  if (child < 0) {
    r.error = "ffmpeg could not be started";
    return r;
  }
  int status = 0;
  for (;;) {
    const pid_t w = ::waitpid(child, &status, WNOHANG);
    if (w == child) break;
    if (w < 0) {
      r.error = "lost track of ffmpeg";
      return r;
    }
    if (progress) {
      if (progress->cancelled()) {
        ::kill(child, SIGTERM);
        ::waitpid(child, &status, 0);
        r.cancelled = true;
        r.error = "cancelled";
        return r;
      }
      const uint64_t us = reportedTime(progressFile), whole = uint64_t(seconds) * 1000000;
      progress->setPosition(from + (to - from) * std::min(us, whole) / std::max<uint64_t>(whole, 1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    core::Bytes b;
    std::string err, text;
    if (core::readWholeFile(logFile, b, err)) text.assign(b.begin(), b.end());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    r.error = "ffmpeg could not encode the menu background" + (text.empty() ? std::string() : ": " + text);
    return r;
  }
  if (progress) progress->setPosition(to);
  r.ok = true;
  return r;
}

}  // namespace morvex::author

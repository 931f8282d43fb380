#pragma once
// What a save reports about the file it wrote. Every saver of the engine (index,
// movie objects, sound, playlist, clip information, menu) and every in-place
// correction returns this type; the log still receives the lines a person reads,
// callers decide from this value, never from the log's text.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

namespace morvex::core {

struct WriteResult {
  bool ok = false;
  std::filesystem::path path;  // the file written (or that could not be written)
  uint64_t bytesWritten = 0;   // 0 when the write failed
  // Why the write failed, empty when ok: the line the log received for a saver that
  // logs, the system's (or encoder's) message for a plain write.
  std::string error;

  bool failed() const { return !ok; }
  explicit operator bool() const { return ok; }

  static WriteResult written(std::filesystem::path path, uint64_t bytes) {
    WriteResult r;
    r.ok = true;
    r.path = std::move(path);
    r.bytesWritten = bytes;
    return r;
  }
  static WriteResult failure(std::filesystem::path path, std::string error) {
    WriteResult r;
    r.path = std::move(path);
    r.error = std::move(error);
    return r;
  }
};

}  // namespace morvex::core

#pragma once
// Progress of a long operation (demultiplexing, menu extraction, a finder pass):
// position and total, elapsed and estimated remaining time, and a cancel request that
// the operation polls once per pass. Safe to read and cancel from another thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace morvex::core {

class Progress {
public:
  Progress() { start(); }

  // Starts (or restarts) timing and clears the cancel request.
  void start(uint64_t total = 0);
  void setTotal(uint64_t total) { total_.store(total); }
  void setPosition(uint64_t pos) { pos_.store(pos); }
  uint64_t position() const { return pos_.load(); }
  uint64_t total() const { return total_.load(); }
  // 0..100
  int percent() const;

  void cancel() { cancel_.store(true); }
  bool cancelled() const { return cancel_.load(); }

  double elapsedSeconds() const;
  // Estimated from the rate so far; 0 before anything is done.
  double remainingSeconds() const;

  // "h:mm:ss" for a number of seconds.
  static std::string clock(double seconds);

private:
  std::atomic<uint64_t> pos_{0};
  std::atomic<uint64_t> total_{0};
  std::atomic<bool> cancel_{false};
  std::chrono::steady_clock::time_point t0_;
};

}  // namespace morvex::core

#include "core/progress.h"

#include "core/text.h"

namespace morvex::core {

void Progress::start(uint64_t total) {
  pos_.store(0);
  total_.store(total);
  cancel_.store(false);
  t0_ = std::chrono::steady_clock::now();
}

int Progress::percent() const {
  uint64_t t = total_.load();
  if (t == 0) return 0;
  uint64_t p = pos_.load();
  if (p >= t) return 100;
  return static_cast<int>((p * 100) / t);
}

double Progress::elapsedSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0_).count();
}

double Progress::remainingSeconds() const {
  uint64_t p = pos_.load(), t = total_.load();
  if (p == 0 || t <= p) return 0;
  double e = elapsedSeconds();
  return e * double(t - p) / double(p);
}

std::string Progress::clock(double seconds) {
  if (seconds < 0) seconds = 0;
  return secondsText(static_cast<uint64_t>(seconds + 0.5));
}

}  // namespace morvex::core

#include "playlist/chapters.h"
#include "core/text.h"

#include <algorithm>
#include <vector>

#include "playlist/grid_text.h"

namespace morvex::playlist {

std::optional<ChapterFormat> parseChapterFormat(std::string_view t) {
  std::string s(t);
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (s == "pts") return ChapterFormat::PTS;
  if (s == "frame") return ChapterFormat::Frame;
  if (s == "time") return ChapterFormat::Time;
  return std::nullopt;
}

std::string defaultChapterFileName(const std::string& name, ChapterFormat f) {
  switch (f) {
    case ChapterFormat::PTS: return "chapter_" + name + "_PTS.txt";
    case ChapterFormat::Frame: return "chapter_" + name + "_frame.txt";
    case ChapterFormat::Time: return "chapter_" + name + "_time.txt";
  }
  return {};
}

std::optional<FrameRatio> frameRatio(unsigned v) {
  switch (v) {
    case 1: return FrameRatio{24000, 1001};
    case 2: return FrameRatio{24000, 1000};
    case 3: return FrameRatio{25000, 1000};
    case 4: return FrameRatio{30000, 1001};
    case 6: return FrameRatio{50000, 1000};
    case 7: return FrameRatio{60000, 1001};
    default: return std::nullopt;
  }
}

// ticks / 45000 seconds * N / D frames per second; 64-bit throughout (a 32-bit tick
// count times 60000 stays far below 2^64).
// A disc stores a mark as its frame's start truncated to a 45 kHz tick (frame 348 of
// 23.976 fps starts at 653,152.5 ticks and is stored as 653,152), so a stored time may
// lie a fraction of a tick before its frame: the frame is the nearest one.
uint64_t framesFromTicks(uint64_t ticks, FrameRatio r) {
  const uint64_t den = uint64_t(45000) * r.d;
  return (ticks * r.n + den / 2) / den;
}

uint64_t ticksFromFrames(uint64_t frames, FrameRatio r) {
  return frames * 45000 * r.d / r.n;  // truncated, as the disc stores it
}

namespace {

uint64_t duration(const PlayItem& p) { return uint32_t(p.outTime - p.inTime); }

struct RateOrError {
  std::optional<FrameRatio> ratio;
  std::string error;
};

RateOrError playlistFrameRatio(const Playlist& m) {
  const auto& items = m.playList.playItems;
  if (items.empty() || items[0].stn.numVideo == 0 || items[0].stn.video.empty())
    return {std::nullopt, "The Frame format needs a primary video stream in the first PlayItem; this playlist has none."};
  unsigned v = items[0].stn.video[0].attr.frameRate;
  auto r = frameRatio(v);
  if (!r)
    return {std::nullopt, "The Frame format needs a defined frame rate; the first video stream's frame rate value " +
                              std::to_string(v) + " has none."};
  return {r, {}};
}

// The frame ratio the Frame format counts in; other formats need none. False, with the
// reason in `error`, when the playlist does not give one.
bool frameRatioFor(const Playlist& m, ChapterFormat f, std::optional<FrameRatio>& ratio, std::string& error) {
  if (f != ChapterFormat::Frame) return true;
  auto r = playlistFrameRatio(m);
  if (!r.ratio) {
    error = r.error;
    return false;
  }
  ratio = r.ratio;
  return true;
}

// Lines end in CR LF, LF or CR alone; a UTF-8 byte-order mark in front is no part of
// the first line.
std::vector<std::string_view> splitLines(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t i = 0;
  while (i < text.size()) {
    const size_t e = text.find_first_of("\r\n", i);
    if (e == std::string_view::npos) {
      lines.push_back(text.substr(i));
      break;
    }
    lines.push_back(text.substr(i, e - i));
    i = e + 1;
    if (text[e] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  return lines;
}

// A line is read as far as it is digits; a number too large for 32 bits stops
// growing at the largest 32-bit value.
uint64_t leadingNumber(std::string_view line) {
  uint64_t v = 0;
  for (char c : line) {
    if (c < '0' || c > '9') break;
    v = std::min<uint64_t>(v * 10 + uint64_t(c - '0'), 0xFFFFFFFFull);
  }
  return v;
}

// The position of a stamp on PlayItem `p` on the playlist's time line: the stamp plus
// the durations of the PlayItems before, less its own IN time, in 32-bit unsigned
// arithmetic as the file's times are.
uint32_t timeLinePosition(const std::vector<PlayItem>& items, size_t p, uint32_t stamp) {
  uint32_t pos = stamp;
  for (size_t i = 0; i < p; ++i) pos += uint32_t(duration(items[i]));
  return pos - items[p].inTime;
}

// A position as the format writes it: the tick, the nearest frame, or the whole
// millisecond the time text shows. Two positions with the same value are one line of
// the file.
uint64_t formatValue(uint64_t ticks, ChapterFormat f, const std::optional<FrameRatio>& ratio) {
  switch (f) {
    case ChapterFormat::PTS: return ticks;
    case ChapterFormat::Frame: return framesFromTicks(ticks, *ratio);
    case ChapterFormat::Time: return ticks / 45;
  }
  return ticks;
}

// A mark as it stood before an import: its PlayItem, its stored stamp, and the value
// its line in a file of the format would hold.
struct StandingMark {
  size_t playItem = 0;
  uint32_t stamp = 0;
  uint64_t value = 0;
};

// The marks that lie inside their PlayItems, each with its line's value. Marks that
// point nowhere are left out: an export moved or dropped them, so no line names them.
std::vector<std::optional<StandingMark>> standingMarks(const Playlist& m, ChapterFormat f,
                                                       const std::optional<FrameRatio>& ratio) {
  const auto& items = m.playList.playItems;
  std::vector<std::optional<StandingMark>> standing;
  for (const Mark& mk : m.playListMark.marks) {
    const size_t p = mk.playItemRef;
    if (p >= items.size() || mk.timeStamp < items[p].inTime || mk.timeStamp > items[p].outTime) {
      standing.emplace_back();
      continue;
    }
    standing.push_back(StandingMark{p, mk.timeStamp, formatValue(timeLinePosition(items, p, mk.timeStamp), f, ratio)});
  }
  return standing;
}

// The stamp an imported line keeps: a line whose value is that of a mark already on
// the same PlayItem names that mark, which a file of frames or milliseconds cannot
// give to the tick (a disc stores a frame's start truncated, a time text drops the
// fraction of a millisecond), so the mark stays where it was. The mark on the same
// line is asked first, so two marks within one frame keep their own stamps.
std::optional<uint32_t> keptStamp(const std::vector<std::optional<StandingMark>>& standing, size_t line,
                                  size_t playItem, uint64_t value) {
  auto names = [&](const std::optional<StandingMark>& s) { return s && s->playItem == playItem && s->value == value; };
  if (line < standing.size() && names(standing[line])) return standing[line]->stamp;
  for (const auto& s : standing)
    if (names(s)) return s->stamp;
  return std::nullopt;
}

}  // namespace

ChapterResult exportChapters(const Playlist& m, ChapterFormat f) {
  ChapterResult res;
  std::optional<FrameRatio> ratio;
  if (!frameRatioFor(m, f, ratio, res.error)) return res;
  const auto& items = m.playList.playItems;
  const auto& marks = m.playListMark.marks;
  for (size_t k = 0; k < marks.size(); ++k) {
    const Mark& mk = marks[k];
    const size_t p = mk.playItemRef;
    if (p >= items.size()) {
      // It has no place on the time line: a position past the end would be made up.
      res.warnings.push_back("mark " + std::to_string(k) + " points at PlayItem " + std::to_string(p) +
                             "; the playlist has " + std::to_string(items.size()) + ": not exported");
      continue;
    }
    uint32_t stamp = mk.timeStamp;
    if (stamp < items[p].inTime) {
      // Before its PlayItem's IN time the subtraction below would wrap round.
      res.warnings.push_back("mark " + std::to_string(k) + " at " + std::to_string(stamp) +
                             " lies before the IN time of PlayItem " + std::to_string(p) + " (" +
                             std::to_string(items[p].inTime) + "): exported at the PlayItem's start");
      stamp = items[p].inTime;
    }
    const uint32_t pos = timeLinePosition(items, p, stamp);
    switch (f) {
      case ChapterFormat::PTS: res.text += std::to_string(pos); break;
      case ChapterFormat::Frame: res.text += std::to_string(framesFromTicks(pos, *ratio)); break;
      case ChapterFormat::Time: res.text += ticks2time(pos); break;
    }
    res.text += "\r\n";
  }
  res.ok = true;
  return res;
}

ChapterResult importChapters(Playlist& m, std::string_view text, ChapterFormat f, core::Log& log) {
  ChapterResult res;
  auto lines = splitLines(text);
  if (lines.empty()) {
    res.error = "The chapter file has no lines.";
    return res;
  }
  if (lines.size() > kMaxChapterLines) {
    res.error = "The chapter file has " + std::to_string(lines.size()) + " lines; a playlist holds at most " +
                std::to_string(kMaxChapterLines) + " marks.";
    return res;
  }
  if (m.markStart == 0) {
    // Without a PlayListMark section the reader never looks for marks.
    res.error = "The playlist has no PlayListMark section.";
    return res;
  }
  const auto& items = m.playList.playItems;
  if (items.empty()) {
    res.error = "The playlist has no PlayItem to place chapters on.";
    return res;
  }
  std::optional<FrameRatio> ratio;
  if (!frameRatioFor(m, f, ratio, res.error)) return res;

  const auto standing = standingMarks(m, f, ratio);
  const size_t n = lines.size();
  const size_t before = m.playListMark.marks.size();
  if (m.extDataStart != 0) m.extDataStart = uint32_t(int64_t(m.extDataStart) + (int64_t(n) - int64_t(before)) * 14);
  m.playListMark.length = uint32_t(14 * n + 2);
  m.playListMark.numMarks = uint16_t(n);
  m.playListMark.marks.assign(n, Mark{});

  const size_t count = items.size();
  for (size_t i = 0; i < n; ++i) {
    Mark& mk = m.playListMark.marks[i];
    mk = Mark{0, 1, 0, 0, 0xFFFF, 0};
    uint64_t T = 0, value = 0;
    switch (f) {
      case ChapterFormat::PTS: T = value = leadingNumber(lines[i]); break;
      case ChapterFormat::Frame:
        value = leadingNumber(lines[i]);
        T = ticksFromFrames(value, *ratio);
        break;
      case ChapterFormat::Time:
        T = time2ticks(lines[i]);
        value = T / 45;
        break;
    }
    // Walk the PlayItems until the one holding T: S is where PlayItem k - 1 ends. A
    // position equal to a boundary (in the Time format: equal after rounding down to a
    // whole millisecond) belongs to the PlayItem that starts there.
    uint64_t S = 0, A = 0;
    size_t k = 0;
    if (T == 0) {
      k = 1;
    } else {
      for (;;) {
        if (S < T) {
          if (k >= count) break;  // past the last PlayItem
          S += duration(items[k]);
          ++k;
        }
        // The boundary as the format can express it: in the Time format the whole
        // millisecond it lies in; in the Frame format a position in the boundary's own
        // frame is the boundary.
        A = S;
        if (f == ChapterFormat::Time) A = S - S % 45;
        else if (f == ChapterFormat::Frame && framesFromTicks(T, *ratio) == framesFromTicks(S, *ratio)) T = S;
        if (T == A) ++k;
        log.info(std::to_string(k) + ": " + ticks2time(uint32_t(T)) + " " + ticks2time(uint32_t(S)) + "   " +
                core::hexText(uint32_t(T), 8) + " " + core::hexText(uint32_t(S), 8));
        if (T <= A || (S >= T && k > 0)) break;
      }
    }
    size_t p = k - 1;
    if (T != A) S -= duration(items[std::min(p, count - 1)]);
    bool pastEnd = false;
    if (p >= count) {
      // At or beyond the end of the last PlayItem: the mark goes on that PlayItem.
      p = count - 1;
      S -= duration(items[p]);
      pastEnd = true;
    }
    log.info(std::to_string(p) + ", " + ticks2time(uint32_t(S)));
    const PlayItem& pi = items[p];
    uint64_t ts = uint64_t(pi.inTime) + T - S;
    if (ts < pi.inTime) ts = pi.inTime;
    if ((pastEnd || ts > pi.outTime) && pi.outTime >= pi.inTime) ts = std::min<uint64_t>(ts, pi.outTime);
    if (const auto kept = keptStamp(standing, i, p, value); kept && *kept != ts) {
      log.info(std::to_string(p) + ", " + ticks2time(*kept) + " kept: the mark already there");
      ts = *kept;
    }
    mk.playItemRef = uint16_t(p);
    mk.timeStamp = uint32_t(ts);
  }
  res.ok = true;
  return res;
}

}  // namespace morvex::playlist

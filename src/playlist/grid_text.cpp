#include "playlist/grid_text.h"
#include "core/text.h"

#include "core/stream_coding.h"
#include "playlist/names.h"

namespace morvex::playlist {

std::string ticks2time(uint32_t ticks) { return core::timeText(ticks / 45, 2); }

static uint32_t digitsAt(std::string_view t, size_t from, size_t count) {
  uint32_t v = 0;
  for (size_t i = from; i < from + count && i < t.size(); ++i) {
    char c = t[i];
    if (c < '0' || c > '9') break;
    v = v * 10 + uint32_t(c - '0');
  }
  return v;
}

uint32_t time2ticks(std::string_view t) {
  uint32_t h = digitsAt(t, 0, 2), m = digitsAt(t, 3, 2), s = digitsAt(t, 6, 2), ms = digitsAt(t, 9, 3);
  return ms * 45u + h * 162000000u + m * 2700000u + s * 45000u;
}

std::string num3(uint32_t value) { return core::decimalText(value, 3); }

Row playItemHeader() { return {"", "file", "type", "IN time", "OUT time", "length", "UO1", "UO2", "An"}; }
Row angleHeader() { return {"", "file", "type", "STC"}; }
Row stnCountHeader() { return {"Vi", "Au", "PG", "IG", "sV", "sA", "PIP"}; }
Row streamHeader() { return {"", "type", "mPID", "SPid", "sCid", "sPID", "attrib"}; }
Row subPathHeader() { return {"", "type", "repeat", "item"}; }
Row subPlayItemHeader() {
  return {"", "file", "type", "conn", "multi", "STC", "IN time", "OUT time", "sync PI", "sync PTS", "An"};
}
Row markHeader() { return {"", "type", "PI", "mark time", "entry PID", "duration"}; }

Row playItemRow(const PlayItem& pi, unsigned index) {
  return {num3(index),
          pi.clipName,
          pi.codecId,
          ticks2time(pi.inTime),
          ticks2time(pi.outTime),
          ticks2time(pi.outTime - pi.inTime),  // 32-bit unsigned: never a negative time
          core::hexText(pi.uoMask1, 8),
          core::hexText(pi.uoMask2, 8),
          pi.isMultiAngle ? std::to_string(pi.multiClip.numAngles) : "0"};
}

static std::vector<Row> clipRows(const std::vector<ClipRef>& clips) {
  std::vector<Row> rows;
  for (size_t i = 0; i < clips.size(); ++i)
    rows.push_back({std::to_string(i + 1), clips[i].clipName, clips[i].codecId, std::to_string(clips[i].stcId)});
  return rows;
}

std::vector<Row> angleRows(const PlayItem& pi) {
  if (!pi.isMultiAngle) return {};
  return clipRows(pi.multiClip.angles);
}

Row stnCountRow(const StreamTable& s) {
  return {std::to_string(s.numVideo),    std::to_string(s.numAudio),    std::to_string(s.numPG),
          std::to_string(s.numIG),       std::to_string(s.numSecVideo), std::to_string(s.numSecAudio),
          std::to_string(s.numPIPPG)};
}

static bool decimalIds(StreamKind k) {
  return k == StreamKind::Video || k == StreamKind::SecVideo || k == StreamKind::SecAudio;
}

static std::string entryTypeText(unsigned type) {
  if (type <= 3) return std::string(entryTypeName(type));
  return bracketed(type);
}

static std::string codingText(unsigned t) {
  auto n = core::codingTypeName(t);
  return n.empty() ? "0x" + core::hexText(t, 2) : std::string(n);
}

std::string streamAttributesText(const StreamAttributes& a, StreamKind k) {
  switch (k) {
    case StreamKind::Video:
    case StreamKind::SecVideo:
    {
      std::string t = codingText(a.codingType) + ", " + std::string(videoFormatName(a.videoFormat)) + ", " +
                      std::string(frameRateName(a.frameRate));
      if (core::isCoding(a.codingType, core::StreamCoding::Hevc))
        t += ", " + core::hevcAttributesText(a.dynamicRangeType, a.colorSpace, a.crFlag, a.hdrPlusFlag);
      return t;
    }
    case StreamKind::Audio:
    case StreamKind::SecAudio:
      return codingText(a.codingType) + ", " + std::string(audioPresentationName(a.audioPresentation)) + ", " +
             std::string(samplingFrequencyName(a.samplingFrequency)) + ", " + a.language;
    case StreamKind::PG:
    case StreamKind::IG:
    case StreamKind::PIPPG:
      return a.language;
  }
  return {};
}

Row streamRow(const Stream& s, StreamKind k, unsigned index) {
  Row r(7);
  r[0] = num3(index + 1);
  r[1] = entryTypeText(s.entry.type);
  const bool dec = decimalIds(k);
  auto id2 = [&](uint8_t v) { return dec ? core::decimalText(v, 2) : core::hexText(v, 2); };
  switch (s.entry.type) {
    case 1:
      r[2] = core::hexText(s.entry.mainPID, 4);
      break;
    case 2:
      r[3] = id2(s.entry.subPathId);
      r[4] = id2(s.entry.subClipId);
      r[5] = core::hexText(s.entry.subPID, 4);
      break;
    case 3:
      r[2] = core::hexText(s.entry.mainPID, 4);
      r[3] = dec ? id2(s.entry.subPathId) : core::hexText(s.entry.subPathId, 4);
      break;
    default:
      break;
  }
  r[6] = streamAttributesText(s.attr, k);
  return r;
}

std::vector<Row> streamRows(const StreamTable& stn, StreamKind k) {
  std::vector<Row> rows;
  for (unsigned i = 0; i < streamCount(stn, k); ++i)
    if (const Stream* s = streamAt(stn, k, i)) rows.push_back(streamRow(*s, k, i));
  return rows;
}

Row subPathRow(const SubPath& sp, unsigned index) {
  return {num3(index), subPathTypeName(sp.type), sp.repeat ? "Yes" : "No", std::to_string(sp.numSubPlayItems)};
}

Row subPlayItemRow(const SubPlayItem& s, unsigned index) {
  return {num3(index),
          s.clipName,
          s.codecId,
          std::to_string(s.connectionCondition),
          s.isMultiClipEntries == 1 ? "Yes" : "No",
          std::to_string(s.stcId),
          ticks2time(s.inTime),
          ticks2time(s.outTime),
          std::to_string(s.syncPlayItemId),
          ticks2time(s.syncStartPTS),
          std::to_string(s.numMultiClip)};
}

std::vector<Row> multiClipRows(const SubPlayItem& s) {
  if (!s.isMultiClipEntries) return {};
  return clipRows(s.clips);
}

Row markLine(const Mark& m, unsigned index) {
  return {num3(index),         markTypeName(m.type),       num3(m.playItemRef),
          ticks2time(m.timeStamp), core::hexText(m.entryPID, 4), std::to_string(m.duration)};
}

std::vector<UOBox> uoBoxes(uint32_t mask1, uint32_t mask2) {
  std::vector<UOBox> boxes;
  for (unsigned n = 0; n < 32; ++n)
    boxes.push_back({"cbUO" + std::to_string(n), std::string(uoHint(n)), ((mask1 >> n) & 1u) != 0});
  boxes.push_back({"cbUO2_30", std::string(uoMask2Hint()), ((mask2 >> 30) & 1u) != 0});
  return boxes;
}

}  // namespace morvex::playlist

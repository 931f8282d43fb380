#include "playlist/playlist_edit.h"

#include <algorithm>

#include "core/text.h"
#include "playlist/grid_text.h"

namespace morvex::playlist {

namespace {

template <typename T>
void addTo(T& field, int64_t delta) {
  field = static_cast<T>(field + delta);
}

// A size change inside the PlayList part moves the mark section and the
// ExtensionData behind it. A mark address of 0 says the file has no mark section and
// stays 0.
void growPlayList(Playlist& m, int64_t delta) {
  addTo(m.playList.length, delta);
  if (m.markStart != 0) addTo(m.markStart, delta);
  if (m.extDataStart != 0) addTo(m.extDataStart, delta);
}

bool hasSpace(std::string_view t) { return t.find(' ') != std::string_view::npos; }

// Exactly eight hexadecimal digits: a cell that is not yet filled in changes nothing.
std::optional<uint32_t> parseHex8(std::string_view t) {
  if (t.size() != 8) return std::nullopt;
  auto v = core::parseHex(t, 8);
  if (!v) return std::nullopt;
  return uint32_t(*v);
}

bool isTimeText(std::string_view t) { return t.size() == 12 && !hasSpace(t); }

PlayItem* playItemAt(Playlist& m, unsigned i) {
  return i < m.playList.playItems.size() ? &m.playList.playItems[i] : nullptr;
}

}  // namespace

// ---- PlaylistAppInfo -------------------------------------------------------------

void setPlaybackType(Playlist& m, unsigned listIndex) { m.appInfo.playbackType = uint8_t(listIndex + 1); }
void setPlaybackCount(Playlist& m, uint16_t count) { m.appInfo.playbackCount = count; }

void setcbUOs(Playlist& m, uint32_t mask1, uint32_t mask2) {
  m.appInfo.uoMask1 = mask1;
  m.appInfo.uoMask2 = mask2;
}

void setUOBit(Playlist& m, unsigned bit, bool on) {
  if (bit > 31) return;
  uint32_t b = 1u << bit;
  m.appInfo.uoMask1 = on ? (m.appInfo.uoMask1 | b) : (m.appInfo.uoMask1 & ~b);
}

void setUO2Bit30(Playlist& m, bool on) {
  m.appInfo.uoMask2 = on ? (m.appInfo.uoMask2 | 0x40000000u) : (m.appInfo.uoMask2 & ~0x40000000u);
}

uint32_t uoMask2Accepted(uint32_t typed) { return typed & 0x40000000u; }

void setAppFlag(Playlist& m, AppFlag flag, bool on) {
  uint8_t v = on ? 1 : 0;
  switch (flag) {
    case AppFlag::RandomAccess: m.appInfo.randomAccessFlag = v; break;
    case AppFlag::AudioMix: m.appInfo.audioMixAppFlag = v; break;
    case AppFlag::BypassMixer: m.appInfo.losslessMayBypassMixerFlag = v; break;
    case AppFlag::SdrConversionNotification: m.appInfo.sdrConversionNotificationFlag = v; break;
  }
}

// ---- PlayItems -------------------------------------------------------------------

const char* const kAskUpdateOut = "Do you want to update OUT time?";
const char* const kAskUpdateSubPlayItems = "Do you want to update SubPlayItems' IN/OUT times?";
const char* const kAskUpdateMarks = "Do you want to update PlayListMarks' marktimes?";

std::vector<std::string> inTimeQuestions(const Playlist& m, unsigned playItem, uint32_t newIn) {
  std::vector<std::string> q;
  if (playItem >= m.playList.playItems.size() || m.playList.playItems[playItem].inTime == newIn) return q;
  q.push_back(kAskUpdateOut);
  if (!m.playList.subPaths.empty()) q.push_back(kAskUpdateSubPlayItems);
  if (!m.playListMark.marks.empty()) q.push_back(kAskUpdateMarks);
  return q;
}

bool changeInTime(Playlist& m, unsigned playItem, uint32_t newIn, InTimeCascade c) {
  PlayItem* pi = playItemAt(m, playItem);
  if (!pi || pi->inTime == newIn) return false;
  const uint32_t delta = newIn - pi->inTime;  // wraps: every addition is modulo 2^32
  pi->inTime = newIn;
  if (c.updateOut) pi->outTime += delta;
  if (c.updateSubPlayItems)
    for (auto& sp : m.playList.subPaths)
      for (auto& s : sp.subPlayItems) {
        s.inTime += delta;
        s.outTime += delta;
      }
  if (c.updateMarks)
    for (auto& mk : m.playListMark.marks)
      if (mk.playItemRef == playItem) mk.timeStamp += delta;
  return true;
}

bool setPlayItemCell(Playlist& m, unsigned playItem, PlayItemField field, std::string_view text, InTimeCascade cascade) {
  PlayItem* pi = playItemAt(m, playItem);
  if (!pi) return false;
  switch (field) {
    case PlayItemField::ClipName:
      if (text.size() != 5 || hasSpace(text)) return false;
      pi->clipName = std::string(text);
      // Angle 0 is the PlayItem's own clip; it is not stored apart in the file.
      if (!pi->multiClip.angles.empty()) pi->multiClip.angles[0].clipName = pi->clipName;
      return true;
    case PlayItemField::InTime:
      if (!isTimeText(text)) return false;
      return changeInTime(m, playItem, time2ticks(text), cascade);
    case PlayItemField::OutTime:
      if (!isTimeText(text)) return false;
      pi->outTime = time2ticks(text);
      return true;
    case PlayItemField::UoMask1:
      if (auto v = parseHex8(text)) {
        pi->uoMask1 = *v;
        return true;
      }
      return false;
    case PlayItemField::UoMask2:
      if (auto v = parseHex8(text)) {
        pi->uoMask2 = *v & 0x40000000u;
        return true;
      }
      return false;
    default:
      return false;
  }
}

// ---- SubPaths --------------------------------------------------------------------

bool canInsertSubPath(const Playlist& m) {
  return m.playList.subPaths.size() < 255 && !m.playList.playItems.empty();
}

std::optional<unsigned> insertSubPath(Playlist& m, int selected) {
  if (!canInsertSubPath(m)) return std::nullopt;
  auto& list = m.playList.subPaths;
  unsigned at = (list.empty() || selected < 0) ? 0 : std::min<unsigned>(unsigned(selected) + 1, list.size());
  const PlayItem& first = m.playList.playItems[0];
  SubPath sp;
  sp.length = 36;
  sp.type = 3;
  sp.repeat = 0;
  sp.numSubPlayItems = 1;
  SubPlayItem s;
  s.length = 28;
  s.clipName = first.clipName;
  s.codecId = first.codecId;
  s.connectionCondition = 1;
  s.inTime = first.inTime;
  s.outTime = first.outTime;
  sp.subPlayItems.push_back(s);
  list.insert(list.begin() + at, sp);
  ++m.playList.numSubPaths;
  growPlayList(m, 40);
  return at;
}

uint32_t subPathSize(const SubPath& sp) {
  uint32_t n = 10;
  for (const auto& s : sp.subPlayItems) n += uint32_t(s.length) + 2;
  return n;
}

std::optional<int> deleteSubPath(Playlist& m, unsigned index) {
  auto& list = m.playList.subPaths;
  if (index >= list.size()) return std::nullopt;
  growPlayList(m, -int64_t(subPathSize(list[index])));
  list.erase(list.begin() + index);
  --m.playList.numSubPaths;
  if (list.empty()) return -1;
  return index == 0 ? 0 : int(std::min<size_t>(index - 1, list.size() - 1));
}

bool setSubPathType(Playlist& m, unsigned index, unsigned type) {
  if (index >= m.playList.subPaths.size() || type > 255) return false;
  auto& sp = m.playList.subPaths[index];
  sp.type = uint8_t(type);
  if (type != 2) sp.repeat = 0;  // only a browsable slideshow's audio path repeats
  return true;
}

bool setSubPathRepeat(Playlist& m, unsigned index, bool repeat) {
  if (index >= m.playList.subPaths.size() || m.playList.subPaths[index].type != 2) return false;
  m.playList.subPaths[index].repeat = repeat ? 1 : 0;
  return true;
}

bool setSubPlayItemCell(Playlist& m, unsigned subPath, unsigned item, SubPlayItemField field, std::string_view text) {
  if (subPath >= m.playList.subPaths.size()) return false;
  auto& sp = m.playList.subPaths[subPath];
  if (item >= sp.subPlayItems.size()) return false;
  auto& s = sp.subPlayItems[item];
  switch (field) {
    case SubPlayItemField::ClipName:
      if (text.size() != 5 || hasSpace(text)) return false;
      s.clipName = std::string(text);
      if (!s.clips.empty()) s.clips[0].clipName = s.clipName;
      return true;
    case SubPlayItemField::ConnectionCondition:
      if (auto v = core::parseDecimal(text, 3)) {
        s.connectionCondition = (*v == 5 || *v == 6) ? uint8_t(*v) : 1;
        return true;
      }
      return false;
    case SubPlayItemField::MultiClip: {
      if (text.empty() || hasSpace(text)) return false;
      const bool on = text == "Y";
      if (on == (s.isMultiClipEntries == 1)) return false;
      // Switching multi-clip entries on adds the count and reserved bytes (with no
      // further entry: entry 0 is the SubPlayItem's own clip); switching it off drops
      // them and every further entry. The lengths follow, so the file stays whole.
      int64_t delta;
      if (on) {
        s.isMultiClipEntries = 1;
        s.numMultiClip = 1;
        s.reserved = 0;
        s.clips = {ClipRef{s.clipName, s.codecId, s.stcId}};
        delta = 2;
      } else {
        delta = -(2 + 10 * int64_t(s.clips.empty() ? 0 : s.clips.size() - 1));
        s.isMultiClipEntries = 0;
        s.numMultiClip = 0;
        s.reserved = 0;
        s.clips.clear();
      }
      addTo(s.length, delta);
      addTo(sp.length, delta);
      growPlayList(m, delta);
      return true;
    }
    case SubPlayItemField::StcId:
      if (auto v = core::parseDecimal(text, 3); v && *v <= 255) {
        s.stcId = uint8_t(*v);
        if (!s.clips.empty()) s.clips[0].stcId = s.stcId;
        return true;
      }
      return false;
    case SubPlayItemField::InTime:
      if (!isTimeText(text)) return false;
      s.inTime = time2ticks(text);
      return true;
    case SubPlayItemField::OutTime:
      if (!isTimeText(text)) return false;
      s.outTime = time2ticks(text);
      return true;
    case SubPlayItemField::SyncPlayItem:
      if (auto v = core::parseDecimal(text, 3)) {
        s.syncPlayItemId = uint16_t(*v % 999);
        return true;
      }
      return false;
    case SubPlayItemField::SyncStartPts:
      if (!isTimeText(text)) return false;
      s.syncStartPTS = time2ticks(text);
      return true;
    default:
      return false;
  }
}

// ---- Marks -----------------------------------------------------------------------

bool canInsertMark(const Playlist& m) { return m.markStart != 0 && m.playListMark.marks.size() < 999; }

std::optional<unsigned> insertMark(Playlist& m, int selected) {
  if (!canInsertMark(m)) return std::nullopt;
  auto& pm = m.playListMark;
  unsigned at = (pm.marks.empty() || selected < 0) ? 0 : std::min<unsigned>(unsigned(selected) + 1, pm.marks.size());
  pm.marks.insert(pm.marks.begin() + at, Mark{0, 1, 0, 0, 0xFFFF, 0});
  ++pm.numMarks;
  pm.length += 14;
  if (m.extDataStart != 0) m.extDataStart += 14;
  return at;
}

std::optional<int> deleteMarks(Playlist& m, unsigned first, unsigned last) {
  auto& pm = m.playListMark;
  if (first > last || first >= pm.marks.size()) return std::nullopt;
  last = std::min<unsigned>(last, unsigned(pm.marks.size()) - 1);
  const unsigned n = last - first + 1;
  pm.marks.erase(pm.marks.begin() + first, pm.marks.begin() + last + 1);
  pm.numMarks = uint16_t(pm.numMarks - n);
  pm.length -= 14 * n;
  if (m.extDataStart != 0) m.extDataStart -= 14 * n;
  if (pm.marks.empty()) return -1;
  return first == 0 ? 0 : int(std::min<size_t>(first - 1, pm.marks.size() - 1));
}

bool setMarkType(Playlist& m, unsigned index, unsigned listIndex) {
  if (index >= m.playListMark.marks.size() || listIndex > 1) return false;
  m.playListMark.marks[index].type = uint8_t(listIndex + 1);
  return true;
}

bool setMarkPlayItem(Playlist& m, unsigned index, uint16_t playItem) {
  if (index >= m.playListMark.marks.size()) return false;
  m.playListMark.marks[index].playItemRef = playItem;
  return true;
}

MarkTimeFields markTimeFields(uint32_t ticks) {
  uint32_t ms = ticks / 45;
  MarkTimeFields f;
  f.milliseconds = int(ms % 1000);
  f.seconds = int(ms / 1000 % 60);
  f.minutes = int(ms / 60000 % 60);
  f.hours = int(ms / 3600000);
  return f;
}

uint32_t markTime(MarkTimeFields& f) {
  f.hours = std::clamp(f.hours, 0, 25);
  f.minutes = std::clamp(f.minutes, 0, 59);
  f.seconds = std::clamp(f.seconds, 0, 59);
  f.milliseconds = std::clamp(f.milliseconds, 0, 999);
  return uint32_t(f.hours) * 162000000u + uint32_t(f.minutes) * 2700000u + uint32_t(f.seconds) * 45000u +
         uint32_t(f.milliseconds) * 45u;
}

bool setMarkTime(Playlist& m, unsigned index, MarkTimeFields fields) {
  if (index >= m.playListMark.marks.size()) return false;
  m.playListMark.marks[index].timeStamp = markTime(fields);
  return true;
}

}  // namespace morvex::playlist

#include "playlist/stream_edit.h"

#include "core/stream_coding.h"

namespace morvex::playlist {

namespace {

StreamTable* stnOf(Playlist& m, unsigned playItem) {
  if (playItem >= m.playList.playItems.size()) return nullptr;
  return &m.playList.playItems[playItem].stn;
}

// Moves every stored size that lies at or after the PlayItem's STN table.
void grow(Playlist& m, unsigned playItem, int64_t delta) {
  auto add = [delta](auto& field) { field = static_cast<std::remove_reference_t<decltype(field)>>(field + delta); };
  // An address of 0 means "no such section" and stays 0.
  if (m.markStart != 0) add(m.markStart);
  if (m.extDataStart != 0) add(m.extDataStart);
  add(m.playList.length);
  auto& pi = m.playList.playItems[playItem];
  add(pi.length);
  add(pi.stn.length);
}

Stream defaultStream(StreamKind kind) {
  Stream s;
  s.entry.length = 9;
  s.attr.length = 5;
  s.attr.language = "eng";
  switch (kind) {
    case StreamKind::Audio:
      s.entry.type = 1;
      s.entry.mainPID = 0x1100;
      s.attr.codingType = core::codingValue(core::StreamCoding::DolbyDigital);
      s.attr.audioPresentation = 6;
      s.attr.samplingFrequency = 1;
      break;
    case StreamKind::PG:
      s.entry.type = 1;
      s.entry.mainPID = 0x1200;
      s.attr.codingType = core::codingValue(core::StreamCoding::Pg);
      break;
    case StreamKind::IG:
      s.entry.type = 2;
      s.entry.subPID = 0x1400;
      s.attr.codingType = core::codingValue(core::StreamCoding::Ig);
      break;
    default:
      break;
  }
  return s;
}

}  // namespace

bool canInsertStream(const StreamTable& s, StreamKind kind) {
  switch (kind) {
    case StreamKind::Audio: return s.numAudio < 32;
    case StreamKind::PG: return s.numPG < 255;
    case StreamKind::IG: return s.numIG < 32;
    // Secondary audio and picture-in-picture subtitles have no insert defaults, and
    // video streams are never inserted: the button stays disabled for them.
    default: return false;
  }
}

bool canDeleteStream(const StreamTable& s, StreamKind kind) {
  if (kind == StreamKind::Video) return false;
  return streamCount(s, kind) >= 1;
}

std::optional<unsigned> insertStream(Playlist& m, unsigned playItem, StreamKind kind, int selected) {
  StreamTable* s = stnOf(m, playItem);
  if (!s || !canInsertStream(*s, kind)) return std::nullopt;
  const unsigned count = streamCount(*s, kind);
  unsigned at = (count == 0 || selected < 0) ? 0 : std::min<unsigned>(unsigned(selected) + 1, count);
  Stream st = defaultStream(kind);
  switch (kind) {
    case StreamKind::Audio:
      if (s->audio.size() < at) return std::nullopt;
      s->audio.insert(s->audio.begin() + at, st);
      ++s->numAudio;
      break;
    case StreamKind::PG:
      // The PG list keeps its picture-in-picture streams after the PG streams.
      if (s->pg.size() < at) return std::nullopt;
      s->pg.insert(s->pg.begin() + at, st);
      ++s->numPG;
      break;
    case StreamKind::IG:
      if (s->ig.size() < at) return std::nullopt;
      s->ig.insert(s->ig.begin() + at, st);
      ++s->numIG;
      break;
    default:
      return std::nullopt;
  }
  grow(m, playItem, 16);
  return at;
}

unsigned streamSize(const StreamTable& s, StreamKind kind, unsigned index) {
  auto refs = [](size_t n) { return unsigned(2 + n + (n & 1)); };
  if (kind == StreamKind::SecAudio && index < s.secAudio.size())
    return 16 + refs(s.secAudio[index].primaryAudioRefs.size());
  if (kind == StreamKind::SecVideo && index < s.secVideo.size())
    return 16 + refs(s.secVideo[index].secAudioRefs.size()) + refs(s.secVideo[index].pipPGRefs.size());
  return 16;
}

std::optional<int> deleteStream(Playlist& m, unsigned playItem, StreamKind kind, unsigned index) {
  StreamTable* s = stnOf(m, playItem);
  if (!s || !canDeleteStream(*s, kind)) return std::nullopt;
  if (kind == StreamKind::Audio && s->numAudio < 2) return std::nullopt;
  if (!streamAt(*s, kind, index)) return std::nullopt;
  const unsigned size = streamSize(*s, kind, index);
  switch (kind) {
    case StreamKind::Audio:
      s->audio.erase(s->audio.begin() + index);
      --s->numAudio;
      break;
    case StreamKind::PG:
      s->pg.erase(s->pg.begin() + index);
      --s->numPG;
      break;
    case StreamKind::PIPPG:
      s->pg.erase(s->pg.begin() + s->numPG + index);
      --s->numPIPPG;
      break;
    case StreamKind::IG:
      s->ig.erase(s->ig.begin() + index);
      --s->numIG;
      break;
    case StreamKind::SecAudio:
      s->secAudio.erase(s->secAudio.begin() + index);
      --s->numSecAudio;
      break;
    case StreamKind::SecVideo:
      s->secVideo.erase(s->secVideo.begin() + index);
      --s->numSecVideo;
      break;
    case StreamKind::Video:
      return std::nullopt;
  }
  grow(m, playItem, -int64_t(size));
  const unsigned left = streamCount(*s, kind);
  if (left == 0) return -1;
  return index == 0 ? 0 : int(std::min(index - 1, left - 1));
}

bool setStreamField(Playlist& m, unsigned playItem, StreamKind kind, unsigned index, StreamField field,
                    unsigned value) {
  StreamTable* s = stnOf(m, playItem);
  Stream* st = s ? streamAt(*s, kind, index) : nullptr;
  if (!st) return false;
  auto& e = st->entry;
  auto& a = st->attr;
  switch (field) {
    case StreamField::EntryType: e.type = uint8_t(value); break;
    case StreamField::MainPID: e.mainPID = uint16_t(value); break;
    case StreamField::SubPID: e.subPID = uint16_t(value); break;
    case StreamField::SubPathId: e.subPathId = uint8_t(value); break;
    case StreamField::SubClipId: e.subClipId = uint8_t(value); break;
    case StreamField::CodingType: a.codingType = uint8_t(value); break;
    case StreamField::VideoFormat: a.videoFormat = uint8_t(value & 0x0F); break;
    case StreamField::FrameRate: a.frameRate = uint8_t(value & 0x0F); break;
    case StreamField::AudioPresentation: a.audioPresentation = uint8_t(value & 0x0F); break;
    case StreamField::SamplingFrequency: a.samplingFrequency = uint8_t(value & 0x0F); break;
    case StreamField::DynamicRangeType: a.dynamicRangeType = uint8_t(value & 0x0F); break;
    case StreamField::ColorSpace: a.colorSpace = uint8_t(value & 0x0F); break;
    case StreamField::CrFlag: a.crFlag = uint8_t(value & 1); break;
    case StreamField::HdrPlusFlag: a.hdrPlusFlag = uint8_t(value & 1); break;
  }
  return true;
}

bool setStreamLanguage(Playlist& m, unsigned playItem, StreamKind kind, unsigned index, std::string_view code) {
  if (kind == StreamKind::PIPPG) return false;
  StreamTable* s = stnOf(m, playItem);
  Stream* st = s ? streamAt(*s, kind, index) : nullptr;
  if (!st) return false;
  st->attr.language = std::string(code.substr(0, 3));
  return true;
}

StreamEditors streamEditors(StreamKind kind, unsigned entryType) {
  StreamEditors ed;
  ed.entryType = true;
  ed.mainPID = entryType == 1 || entryType == 3;
  ed.subPathId = entryType == 2 || entryType == 3;
  ed.subClipId = entryType == 2;
  ed.subPID = entryType == 2;
  switch (kind) {
    case StreamKind::Video:
    case StreamKind::SecVideo: ed.video = true; break;
    case StreamKind::Audio:
    case StreamKind::SecAudio: ed.audio = ed.language = true; break;
    case StreamKind::PG:
    case StreamKind::IG: ed.language = true; break;
    case StreamKind::PIPPG: break;
  }
  return ed;
}

}  // namespace morvex::playlist

#include "disc/apply.h"

#include <algorithm>

#include "core/stream_coding.h"

namespace morvex::disc {

std::vector<size_t> applyPlayItem(const playlist::PlayItem& item, clip::ClipInfo& clpi) {
  std::vector<size_t> changed;
  if (clpi.programInfo.programSequences.empty()) return changed;
  auto& streams = clpi.programInfo.programSequences[0].streams;
  const auto& stn = item.stn;
  const size_t V = stn.video.size(), A = stn.audio.size();
  const size_t P = std::min<size_t>(stn.numPG, stn.pg.size());  // picture-in-picture PG not counted
  auto target = [&](size_t index, const playlist::Stream& s) -> clip::ClipStream* {
    if (index >= streams.size() || streams[index].pid != s.entry.mainPID) return nullptr;
    changed.push_back(index);
    return &streams[index];
  };
  for (size_t k = 0; k < V; ++k)
    if (clip::ClipStream* c = target(k, stn.video[k])) {
      c->codingType = stn.video[k].attr.codingType;
      c->videoFormat = stn.video[k].attr.videoFormat;
      c->frameRate = stn.video[k].attr.frameRate;
      // HEVC streams carry their dynamic range, colour space and flags in both files.
      c->dynamicRangeType = stn.video[k].attr.dynamicRangeType;
      c->colorSpace = stn.video[k].attr.colorSpace;
      c->crFlag = stn.video[k].attr.crFlag;
      c->hdrPlusFlag = stn.video[k].attr.hdrPlusFlag;
    }
  for (size_t k = 0; k < A; ++k)
    if (clip::ClipStream* c = target(V + k, stn.audio[k])) {
      const auto& a = stn.audio[k].attr;
      c->codingType = a.codingType;
      c->audioPresentationType = a.audioPresentation;
      c->samplingFrequency = a.samplingFrequency;
      c->audioLanguage = a.language;
    }
  for (size_t k = 0; k < P; ++k)
    if (clip::ClipStream* c = target(V + A + k, stn.pg[k])) {
      c->pgLanguage = stn.pg[k].attr.language;
      if (core::isTextSubtitleCoding(c->codingType)) c->textStLanguage = stn.pg[k].attr.language;
    }
  for (size_t k = 0; k < stn.ig.size(); ++k) {
    if (stn.ig[k].entry.type != 1) continue;
    if (clip::ClipStream* c = target(V + A + P + k, stn.ig[k])) c->igLanguage = stn.ig[k].attr.language;
  }
  return changed;
}

bool applyToClpi(const DiscLoad& disc, const playlist::PlayItem& item, clip::ClipInfo& clpi, core::Log& log,
                 std::vector<size_t>* changed) {
  auto it = std::find(disc.clipinfos.begin(), disc.clipinfos.end(), item.clipName);
  if (it == disc.clipinfos.end()) {
    log.error("No clip information file for clip " + item.clipName);
    return false;
  }
  clip::ClipInfo fresh = clpi;
  if (!clip::readClipInfoFile(disc.folder / "CLIPINF" / (item.clipName + disc.names.clipinfext), fresh, log).complete()) {
    clpi = std::move(fresh);
    return false;
  }
  clpi = std::move(fresh);
  auto c = applyPlayItem(item, clpi);
  if (changed) *changed = std::move(c);
  log.statusReady();
  return true;
}

}  // namespace morvex::disc

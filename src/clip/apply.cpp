#include "clip/apply.h"

#include <algorithm>

namespace morvex::clip {

std::vector<size_t> applyPlayItem(const playlist::TPlayItem& item, TCLPI& clpi) {
  std::vector<size_t> changed;
  if (clpi.ProgramInfo.program_sequences.empty()) return changed;
  auto& streams = clpi.ProgramInfo.program_sequences[0].streams;
  const auto& stn = item.stn;
  const size_t V = stn.video.size(), A = stn.audio.size();
  const size_t P = std::min<size_t>(stn.numPG, stn.pg.size());  // picture-in-picture PG not counted
  auto target = [&](size_t index, const playlist::TStream& s) -> TClipStream* {
    if (index >= streams.size() || streams[index].PID != s.entry.mainPID) return nullptr;
    changed.push_back(index);
    return &streams[index];
  };
  for (size_t k = 0; k < V; ++k)
    if (TClipStream* c = target(k, stn.video[k])) {
      c->coding_type = stn.video[k].attr.codingType;
      c->video_format = stn.video[k].attr.videoFormat;
      c->frame_rate = stn.video[k].attr.frameRate;
    }
  for (size_t k = 0; k < A; ++k)
    if (TClipStream* c = target(V + k, stn.audio[k])) {
      const auto& a = stn.audio[k].attr;
      c->coding_type = a.codingType;
      c->audio_presentation_type = a.audioPresentation;
      c->sampling_frequency = a.samplingFrequency;
      c->audio_language = a.language;
    }
  for (size_t k = 0; k < P; ++k)
    if (TClipStream* c = target(V + A + k, stn.pg[k])) {
      c->PG_language = stn.pg[k].attr.language;
      if (c->coding_type == 0x92) c->textST_language = stn.pg[k].attr.language;
    }
  for (size_t k = 0; k < stn.ig.size(); ++k) {
    if (stn.ig[k].entry.type != 1) continue;
    if (TClipStream* c = target(V + A + P + k, stn.ig[k])) c->IG_language = stn.ig[k].attr.language;
  }
  return changed;
}

bool applyToClpi(const disc::DiscLoad& disc, const playlist::TPlayItem& item, TCLPI& clpi, core::Log& log,
                 std::vector<size_t>* changed) {
  auto it = std::find(disc.clipinfos.begin(), disc.clipinfos.end(), item.clipName);
  if (it == disc.clipinfos.end()) {
    log.erlog("No clip information file for clip " + item.clipName);
    return false;
  }
  TCLPI fresh = clpi;
  if (!readCLPIFile(disc.folder / "CLIPINF" / (item.clipName + disc.names.clipinfext), fresh, log).complete()) {
    clpi = std::move(fresh);
    return false;
  }
  clpi = std::move(fresh);
  auto c = applyPlayItem(item, clpi);
  if (changed) *changed = std::move(c);
  log.slogR();
  return true;
}

}  // namespace morvex::clip

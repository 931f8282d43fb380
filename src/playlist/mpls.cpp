#include "playlist/mpls.h"

namespace morvex::playlist {

unsigned streamCount(const StreamTable& s, StreamKind kind) {
  switch (kind) {
    case StreamKind::Video: return s.numVideo;
    case StreamKind::Audio: return s.numAudio;
    case StreamKind::PG: return s.numPG;
    case StreamKind::IG: return s.numIG;
    case StreamKind::SecVideo: return s.numSecVideo;
    case StreamKind::SecAudio: return s.numSecAudio;
    case StreamKind::PIPPG: return s.numPIPPG;
  }
  return 0;
}

template <typename STN>
static auto* streamAtImpl(STN& s, StreamKind kind, unsigned i) {
  using Ptr = decltype(&s.video[0]);
  auto from = [&](auto& list, unsigned idx) -> Ptr { return idx < list.size() ? &list[idx] : nullptr; };
  if (i >= streamCount(s, kind)) return Ptr{nullptr};
  switch (kind) {
    case StreamKind::Video: return from(s.video, i);
    case StreamKind::Audio: return from(s.audio, i);
    case StreamKind::PG: return from(s.pg, i);
    case StreamKind::IG: return from(s.ig, i);
    case StreamKind::PIPPG: return from(s.pg, unsigned(s.numPG) + i);
    case StreamKind::SecVideo: return i < s.secVideo.size() ? static_cast<Ptr>(&s.secVideo[i]) : nullptr;
    case StreamKind::SecAudio: return i < s.secAudio.size() ? static_cast<Ptr>(&s.secAudio[i]) : nullptr;
  }
  return Ptr{nullptr};
}

const Stream* streamAt(const StreamTable& s, StreamKind kind, unsigned i) { return streamAtImpl(s, kind, i); }
Stream* streamAt(StreamTable& s, StreamKind kind, unsigned i) { return streamAtImpl(s, kind, i); }

}  // namespace morvex::playlist

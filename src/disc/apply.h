#pragma once
// "Apply to clpi": copying the stream attributes of a playlist's PlayItem into the clip
// information of the clip it plays.
#include <vector>

#include "clip/clpi.h"
#include "core/log.h"
#include "disc/disc_load.h"
#include "playlist/mpls.h"

namespace morvex::disc {

// Copies the PlayItem's STN attributes into the streams of the clip's first program
// sequence, matched by position: video k <-> clip stream k, audio k <-> V + k,
// PG/text subtitle k <-> V + A + k, IG k <-> V + A + P + k (V, A, P the PlayItem's
// numbers of primary video, audio and PG/text subtitle streams). A pair is used only
// when the clip stream exists and has the STN stream's main-clip PID; IG streams only
// when they come from the PlayItem's own clip (entry type 1). Video takes coding type,
// format and rate; audio coding type, presentation type, sampling frequency and
// language; PG, text subtitle and IG their language (a text subtitle clip stream
// also gets it as its own language, which is the one written for it).
// Returns the indices of the clip streams changed (their ProgramInfo rows are index + 1).
std::vector<size_t> applyPlayItem(const playlist::PlayItem& item, clip::ClipInfo& clpi);

// The button: reads the PlayItem's clip information from the disc folder (replacing
// `clpi`; unsaved edits are lost) and applies the PlayItem to it. When the clip is not
// among the disc's clip information files it logs an error and changes nothing.
// Returns false when nothing could be applied (clip unknown or its file unreadable).
bool applyToClpi(const DiscLoad& disc, const playlist::PlayItem& item, clip::ClipInfo& clpi, core::Log& log,
                 std::vector<size_t>* changed = nullptr);

}  // namespace morvex::disc

#pragma once
// Names under which stream codes are shown: video formats, frame rates,
// audio presentation types, sampling frequencies, stream entry types, SubPath and mark
// types, and the language list a stream language is picked from. Playlists and clip
// information describe their elementary streams with these codes; coding types and
// their names are in core/stream_coding.h.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/stream_coding.h"

namespace morvex::playlist {

// Every look-up takes the stored value; a value without a name gives "".
std::string_view videoFormatName(unsigned value);
std::string_view frameRateName(unsigned value);
std::string_view audioPresentationName(unsigned value);
std::string_view samplingFrequencyName(unsigned value);
std::string_view entryTypeName(unsigned value);
// "-", "-", "p. Audio", "IG menu", ... for types 0..7; types above 7 show their number
// in brackets ("[9]") so an unknown SubPath is still recognisable in the grid.
std::string subPathTypeName(unsigned type);
// "" for 0, "entry-mark", "link point"; types above 2 show their number in brackets.
std::string markTypeName(unsigned type);

// "[n]": how a value without a name is shown where a name is expected.
std::string bracketed(unsigned value);

// The language list: "eng" first, then the three-letter codes in alphabetical order
// ("nzi" stands after "nub"), so "eng" appears twice. 431 entries.
std::span<const std::string_view> languageList();
// Index of the first entry equal to `code`, or -1 when the code is not in the list.
int languageIndex(std::string_view code);

// Items of the stream editor lists; the index is the stored value unless noted.
std::span<const std::string_view> entryTypeItems();  // "---", "PlayItem", "SubPath", "IM PIP"
// The coding lists hold the names of core::videoCodingValues() and
// core::audioCodingValues(), in that order; item i stores value i.
std::span<const std::string_view> videoCodingItems();  // "MPEG-2", "AVC", "VC1", "HEVC"
using core::videoCodingValues;
std::span<const std::string_view> audioCodingItems();  // nine items
using core::audioCodingValues;
// Index of a coding type in the video or audio list, or -1.
int videoCodingIndex(unsigned codingType);
int audioCodingIndex(unsigned codingType);

// Hints shown beside the lists for the chosen value. An empty optional text means
// "no hint for this value": the front end keeps the hint it showed before.
std::string_view videoCodingHint(int index);
std::string_view audioCodingHint(int index);
std::string_view audioPresentationHint(unsigned value);
// Entry type 0 has an (empty) hint of its own; other values keep the previous hint.
bool entryTypeHasHint(unsigned value);
std::string_view entryTypeHint(unsigned value);
std::string_view subPathTypeHint(unsigned type);

// Playback types of PlaylistAppInfo (list index = type - 1).
std::span<const std::string_view> playbackTypeItems();  // "Sequential", "Random", "Shuffle"
std::span<const std::string_view> markTypeItems();      // "entry-mark", "link point"

// Hints of the user-operation flags: index n = bit n of the first mask word
// (flag cbUO<n>); uoMask2Hint() is the hint for bit 30 of the second word.
std::string_view uoHint(unsigned bit);
std::string_view uoMask2Hint();

}  // namespace morvex::playlist

#include "playlist/names.h"

#include <algorithm>

#include "core/stream_coding.h"

namespace morvex::playlist {

namespace {

constexpr std::array<std::string_view, 16> kVideoFormat = {
    "-", "480i", "576i", "480p", "1080i", "720p", "1080p", "576p",
    "2160p", "res.", "res.", "res.", "res.", "res.", "res.", "res."};
constexpr std::array<std::string_view, 16> kFrameRate = {
    "-", "23.976", "24", "25", "29.97", "-", "50", "59.94",
    "res.", "res.", "res.", "res.", "res.", "res.", "res.", "res."};
constexpr std::array<std::string_view, 16> kAudioPresentation = {
    "-", "Mono", "-", "Stereo", "-", "-", "Multi-ch.", "-",
    "-", "-", "-", "-", "St.+M-ch.", "res.", "res.", "res."};
constexpr std::array<std::string_view, 16> kSamplingFrequency = {
    "-", "48 kHz", "-", "-", "96 kHz", "192 kHz", "-", "-",
    "-", "-", "-", "-", "c:48/96, e:192 kHz", "-", "c:48, e:192 kHz", "res."};
constexpr std::array<std::string_view, 4> kEntryType = {"", "PlayItem", "SubPath", "IM PIP"};
constexpr std::array<std::string_view, 8> kSubPathType = {"-", "-", "p. Audio", "IG menu",
                                                          "Text sub", "OoM Sync", "OoM Async", "IM Sync"};

constexpr std::array<std::string_view, 4> kEntryTypeItems = {"---", "PlayItem", "SubPath", "IM PIP"};

constexpr std::array<std::string_view, 4> kVideoHints = {
    "MPEG-2 video stream for Primary / Secondary video",
    "MPEG-4 AVC video stream for Primary / Secondary video",
    "SMPTE VC-1 video stream for Primary / Secondary video",
    "HEVC video stream for Primary video (Ultra HD, version 0300)"};
constexpr std::array<std::string_view, 9> kAudioHints = {
    "HDMV LPCM audio stream for Primary audio",
    "Dolby Digital (AC-3) audio stream for Primary audio",
    "DTS audio stream for Primary audio",
    "Dolby Lossless audio stream for Primary audio",
    "Dolby Digital Plus audio stream for Primary audio",
    "DTS-HD audio stream except XLL for Primary audio",
    "DTS-HD audio stream XLL for Primary audio",
    "Dolby Digital Plus audio stream for Secondary audio",
    "DTS-HD audio stream for Secondary audio stream"};
constexpr std::array<std::string_view, 4> kEntryTypeHints = {
    "",
    "Identify an elementary stream of the Clip used by the PlayItem.",
    "Identify an elementary stream of the Clip used by a SubPath with SubPath_type set to 2,3,4,5 or 6 "
    "associated with the PlayItem.",
    "Identify an elementary stream of the Clip used by a SubPath with SubPath_type set to 7 (IM Sync) "
    "associated with the PlayItem."};
constexpr std::array<std::string_view, 8> kSubPathHints = {
    "reserved",
    "reserved",
    "Primary audio presentation path of the Browsable slideshow",
    "Interactive Graphics presentation menu",
    "Text subtitle presentation path",
    "Out-of-mux and Synchronous type of one or more elementary streams path",
    "Out-of-mux and Asynchronous type of Picture-in-Picture presentation path",
    "In-mux and Synchronous type of Picture-in-Picture presentation path"};

constexpr std::array<std::string_view, 3> kPlaybackTypes = {"Sequential", "Random", "Shuffle"};
constexpr std::array<std::string_view, 2> kMarkTypes = {"entry-mark", "link point"};

// Box n shows bit n of the first user-operation word.
constexpr std::array<std::string_view, 32> kUOHints = {
    "UO0: Secondary audio stream number change",
    "UO1:Secondary audio enable disable",
    "UO2: Secondary video stream number change",
    "UO3: Secondary video enable disable",
    "UO4: PG Text ST stream number change",
    "UO5: PG Text ST enable disable",
    "UO6: Popup off",
    "UO7: Popup on",
    "UO8:Angle number change",
    "UO9: Reserved",
    "UO10: Primary audio stream number change",
    "UO11: Select button and activate",
    "UO12: Activate button",
    "UO13: Select button",
    "UO14: Move right selected button",
    "UO15: Move left selected button",
    "UO16: Move down selected button",
    "UO17: Move up selected button",
    "UO18: Resume",
    "UO19: Backward play",
    "UO20: Forward play",
    "UO21: Still off",
    "UO22: Reserved for pause off",
    "UO23: Pause on",
    "UO24: Stop",
    "UO25: Reserved for play FirstPlay",
    "Skip back to previous point ",
    "UO27: Skip to next point",
    "UO28: Time search",
    "UO29: Chapter search",
    "UO30: Reserved for title search",
    "UO31: reserved for menu call"};

constexpr std::array<std::string_view, 431> kLanguages = {
    "eng", "aar", "abk", "ace", "ach", "ada", "afa", "afh", "afr", "aka", "akk", "alb", "ale", "alg", "amh", "ang",
    "apa", "ara", "arc", "arm", "arn", "arp", "art", "arw", "asm", "ath", "aus", "ava", "ave", "awa", "aym", "aze",
    "bad", "bai", "bak", "bal", "bam", "ban", "baq", "bas", "bat", "bej", "bel", "bem", "ben", "ber", "bho", "bih",
    "bik", "bin", "bis", "bla", "bnt", "bos", "bra", "bre", "btk", "bua", "bug", "bul", "bur", "cad", "cai", "car",
    "cat", "cau", "ceb", "cel", "cha", "chb", "che", "chg", "chi", "chk", "chm", "chn", "cho", "chp", "chr", "chu",
    "chv", "chy", "cmc", "cop", "cor", "cos", "cpe", "cpf", "cpp", "cre", "crp", "cus", "cze", "dak", "dan", "day",
    "del", "den", "dgr", "din", "div", "doi", "dra", "dua", "dum", "dut", "dyu", "dzo", "efi", "egy", "eka", "elx",
    "eng", "enm", "epo", "est", "ewe", "ewo", "fan", "fao", "fat", "fij", "fin", "fiu", "fon", "fre", "frm", "fro",
    "fry", "ful", "fur", "gaa", "gay", "gba", "gem", "geo", "ger", "gez", "gil", "gla", "gle", "glg", "glv", "gmh",
    "goh", "gon", "gor", "got", "grb", "grc", "gre", "grn", "guj", "gwi", "hai", "hau", "haw", "heb", "her", "hil",
    "him", "hin", "hit", "hmn", "hmo", "hun", "hup", "iba", "ibo", "ice", "ijo", "iku", "ile", "ilo", "ina", "inc",
    "ind", "ine", "ipk", "ira", "iro", "ita", "jav", "jpn", "jpr", "jrb", "kaa", "kab", "kac", "kal", "kam", "kan",
    "kar", "kas", "kau", "kaw", "kaz", "kha", "khi", "khm", "kho", "kik", "kin", "kir", "kmb", "kok", "kom", "kon",
    "kor", "kos", "kpe", "kro", "kru", "kua", "kum", "kur", "kut", "lad", "lah", "lam", "lao", "lat", "lav", "lez",
    "lin", "lit", "lol", "loz", "ltz", "lua", "lub", "lug", "lui", "lun", "luo", "lus", "mac", "mad", "mag", "mah",
    "mai", "mak", "mal", "man", "mao", "map", "mar", "mas", "may", "mdr", "men", "mga", "mic", "min", "mis", "mkh",
    "mlg", "mlt", "mni", "mno", "moh", "mol", "mon", "mos", "mul", "mun", "mus", "mwr", "myn", "nah", "nai", "nau",
    "nav", "nbl", "nde", "ndo", "nep", "new", "nia", "nic", "niu", "non", "nor", "nso", "nub", "nzi", "nya", "nym",
    "nyn", "nyo", "oci", "oji", "ori", "orm", "osa", "oss", "ota", "oto", "paa", "pag", "pal", "pam", "pan", "pap",
    "pau", "peo", "per", "phi", "phn", "pli", "pol", "pon", "por", "pra", "pro", "pus", "que", "raj", "rap", "rar",
    "roa", "roh", "rom", "rum", "run", "rus", "sad", "sag", "sai", "sal", "sam", "san", "sas", "sat", "scc", "sco",
    "scr", "sel", "sem", "sga", "shn", "sid", "sin", "sio", "sit", "sla", "slo", "slv", "smi", "smo", "sna", "snd",
    "snk", "sog", "som", "son", "sot", "spa", "srd", "srr", "ssa", "ssw", "suk", "sun", "sus", "sux", "swa", "swe",
    "syr", "tah", "tai", "tam", "tat", "tel", "tem", "ter", "tet", "tgk", "tgl", "tha", "tib", "tig", "tir", "tiv",
    "tkl", "tli", "tmh", "tog", "ton", "tpi", "tsi", "tsn", "tso", "tuk", "tum", "tur", "tut", "tvl", "twi", "tyv",
    "uga", "uig", "ukr", "umb", "und", "urd", "uzb", "vai", "ven", "vie", "vol", "vot", "wak", "wal", "war", "was",
    "wel", "wen", "wol", "xho", "yao", "yap", "yid", "yor", "ypk", "zap", "zen", "zha", "znd", "zul", "zun",
};

template <size_t N>
std::string_view pick(const std::array<std::string_view, N>& table, unsigned value) {
  return value < N ? table[value] : std::string_view{};
}

// The editor lists show each coding under its own name.
template <size_t N>
std::array<std::string_view, N> namesOf(std::span<const uint8_t> values) {
  std::array<std::string_view, N> names{};
  for (size_t i = 0; i < N && i < values.size(); ++i) names[i] = core::codingTypeName(values[i]);
  return names;
}

int indexIn(std::span<const uint8_t> values, unsigned t) {
  auto it = std::find(values.begin(), values.end(), t);
  return it == values.end() ? -1 : static_cast<int>(it - values.begin());
}

}  // namespace

std::string_view videoFormatName(unsigned v) { return pick(kVideoFormat, v); }
std::string_view frameRateName(unsigned v) { return pick(kFrameRate, v); }
std::string_view audioPresentationName(unsigned v) { return pick(kAudioPresentation, v); }
std::string_view samplingFrequencyName(unsigned v) { return pick(kSamplingFrequency, v); }
std::string_view entryTypeName(unsigned v) { return pick(kEntryType, v); }

std::string bracketed(unsigned value) {
  std::string s(1, '[');
  s.append(std::to_string(value));
  s.push_back(']');
  return s;
}

std::string subPathTypeName(unsigned type) {
  if (type < kSubPathType.size()) return std::string(kSubPathType[type]);
  return bracketed(type);
}

std::string markTypeName(unsigned type) {
  if (type == 0) return {};
  if (type <= kMarkTypes.size()) return std::string(kMarkTypes[type - 1]);
  return bracketed(type);
}

std::span<const std::string_view> languageList() { return kLanguages; }

int languageIndex(std::string_view code) {
  for (size_t i = 0; i < kLanguages.size(); ++i)
    if (kLanguages[i] == code) return static_cast<int>(i);
  return -1;
}

std::span<const std::string_view> entryTypeItems() { return kEntryTypeItems; }

std::span<const std::string_view> videoCodingItems() {
  static const auto items = namesOf<4>(core::videoCodingValues());
  return items;
}
std::span<const std::string_view> audioCodingItems() {
  static const auto items = namesOf<9>(core::audioCodingValues());
  return items;
}

int videoCodingIndex(unsigned t) { return indexIn(core::videoCodingValues(), t); }
int audioCodingIndex(unsigned t) { return indexIn(core::audioCodingValues(), t); }

std::string_view videoCodingHint(int i) { return i >= 0 ? pick(kVideoHints, unsigned(i)) : std::string_view{}; }
std::string_view audioCodingHint(int i) { return i >= 0 ? pick(kAudioHints, unsigned(i)) : std::string_view{}; }

std::string_view audioPresentationHint(unsigned v) {
  switch (v) {
    case 1: return "single mono channel";
    case 3: return "stereo (2-channel)";
    case 6: return "multi-channel";
    case 12: return "stereo (2-channel) and multi-channel for the DTS-HD/Dolby Lossless";
    default: return {};
  }
}

bool entryTypeHasHint(unsigned v) { return v < kEntryTypeHints.size(); }
std::string_view entryTypeHint(unsigned v) { return pick(kEntryTypeHints, v); }
std::string_view subPathTypeHint(unsigned type) { return pick(kSubPathHints, type); }

std::span<const std::string_view> playbackTypeItems() { return kPlaybackTypes; }
std::span<const std::string_view> markTypeItems() { return kMarkTypes; }

std::string_view uoHint(unsigned bit) { return pick(kUOHints, bit); }
std::string_view uoMask2Hint() { return "UO230: PiP PG textST stream number change "; }

}  // namespace morvex::playlist

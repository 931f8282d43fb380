#include "typeset/label.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace morvex::typeset {

namespace {

// ---------------------------------------------------------------------------------
// Text: UTF-8 in, code points out. Anything that is not well-formed UTF-8 (stray
// continuation bytes, overlong forms, surrogates, values past U+10FFFF, a sequence cut
// short) becomes one U+FFFD per offending byte, so a label read from a damaged file
// still sets and shows where it went wrong.

constexpr char32_t kReplacement = 0xFFFD;

std::u32string decodeUtf8(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const unsigned b = p[i];
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    int len = 0;
    char32_t cp = 0, min = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
    bool good = len > 0 && i + len <= n;
    for (int k = 1; good && k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) good = false;
      else cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (good && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) good = false;
    if (good) {
      out.push_back(cp);
      i += len;
    } else {
      out.push_back(kReplacement);
      ++i;
    }
  }
  return out;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) out += char(c);
  else if (c < 0x800) out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
  else if (c < 0x10000)
    out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
  else
    out += char(0xF0 | (c >> 18)), out += char(0x80 | ((c >> 12) & 0x3F)), out += char(0x80 | ((c >> 6) & 0x3F)),
        out += char(0x80 | (c & 0x3F));
}

// The label as an error message quotes it: cleaned, and cut after 40 characters.
std::string quoteLabel(const std::u32string& text) {
  std::string out = "\"";
  size_t shown = 0;
  for (char32_t c : text) {
    if (shown == 40) {
      out += "...";
      break;
    }
    appendUtf8(out, c == U'\n' ? U' ' : c);
    ++shown;
  }
  return out + "\"";
}

// Tabs set as spaces; carriage returns (of CR LF line ends) and other control
// characters have no picture and are dropped. Newlines stay: they break lines.
std::u32string cleanText(std::u32string text) {
  std::u32string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c == U'\t') out.push_back(U' ');
    else if (c == U'\n') out.push_back(c);
    else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) continue;
    else out.push_back(c);
  }
  return out;
}

// Spaces a line may break after (a no-break space is not one of them).
bool isSpace(char32_t c) { return c == U' ' || c == 0x3000; }

// Characters of the scripts that are set without spaces between words (Han, kana,
// Hangul, Yi and their punctuation and full-width forms): a line may break between
// any two of them.
bool isCjk(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x303F) || (c >= 0x3040 && c <= 0x31FF) ||
         (c >= 0x3200 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Closing punctuation, small kana and the like never start a line; opening brackets
// never end one.
bool noLineStart(char32_t c) {
  static constexpr std::u32string_view set =
      U"、。，．・：；？！ー）」』】〕〉》〙〗゛゜ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々〻‐゠–〜"
      U"!%),.:;?]}¢°’”‰′″℃！％），．：；？］｝｡｣､･ｧｨｩｪｫｬｭｮｯｰﾞﾟ";
  return set.find(c) != std::u32string_view::npos;
}
bool noLineEnd(char32_t c) {
  static constexpr std::u32string_view set = U"（「『【〔〈《〘〖‘“([{£¥＄（［｛｢";
  return set.find(c) != std::u32string_view::npos;
}

// May a line start at text[i] (0 < i < size), breaking between text[i-1] and text[i]?
bool breakBefore(const std::u32string& t, size_t i) {
  const char32_t a = t[i - 1], b = t[i];
  if (isSpace(b)) return false;  // spaces stay at the end of the line they follow
  if (isSpace(a)) return true;
  if ((isCjk(a) || isCjk(b)) && !noLineStart(b) && !noLineEnd(a)) {
    // Marks and joiners belong to the character before them.
    const auto cat = hb_unicode_general_category(hb_unicode_funcs_get_default(), b);
    return cat != HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK && cat != HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK &&
           cat != HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK && cat != HB_UNICODE_GENERAL_CATEGORY_FORMAT;
  }
  return false;
}

// ---------------------------------------------------------------------------------
// Fonts. FreeType faces are opened once per (file, face index) and kept, with the
// HarfBuzz font on them; one lock serialises every use, since neither a face nor its
// size may be shared between threads.

std::mutex& fontLock() {
  static std::mutex m;
  return m;
}

struct GlyphBox {
  int left = 0, top = 0, right = 0, bottom = 0;  // pixels from the pen, y down; empty when left == right
};

struct GlyphBitmap {
  int left = 0, top = 0, width = 0, rows = 0;  // top-left corner from the pen, y down
  std::vector<uint8_t> coverage;
};

struct OpenFont {
  FT_Face face = nullptr;
  hb_font_t* hb = nullptr;
  int size = 0;  // the pixel size the face is set to
  // Per (size, glyph): ink boxes for fitting, coverage for drawing. Labels of a menu
  // repeat their text in every state and their sizes across buttons, so both pay off.
  std::unordered_map<uint64_t, GlyphBox> boxes;
  std::unordered_map<uint64_t, GlyphBitmap> bitmaps;
  ~OpenFont() {
    if (hb) hb_font_destroy(hb);
    if (face) FT_Done_Face(face);
  }
};

// Light hinting: outlines snap vertically only, so shapes stay even at menu sizes and
// advances keep the proportions HarfBuzz positions by.
constexpr FT_Int32 kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT;

struct Library {
  FT_Library ft = nullptr;
  std::map<std::pair<std::string, int>, std::unique_ptr<OpenFont>> fonts;
  Library() {
    if (FT_Init_FreeType(&ft)) ft = nullptr;
  }
  ~Library() {
    fonts.clear();
    if (ft) FT_Done_FreeType(ft);
  }
};

Library& library() {
  static Library lib;
  return lib;
}

// Called with the lock held.
OpenFont* openFont(const FontFace& face, std::string& error) {
  Library& lib = library();
  if (!lib.ft) {
    error = "the font library could not be started";
    return nullptr;
  }
  auto key = std::make_pair(face.file.string(), face.index);
  if (auto it = lib.fonts.find(key); it != lib.fonts.end()) return it->second.get();
  FT_Face ftFace = nullptr;
  if (FT_New_Face(lib.ft, key.first.c_str(), face.index, &ftFace) || !ftFace) {
    error = "cannot open the font " + key.first + (face.index ? " (face " + std::to_string(face.index) + ")" : "");
    return nullptr;
  }
  if (!FT_IS_SCALABLE(ftFace) && ftFace->num_fixed_sizes == 0) {
    FT_Done_Face(ftFace);
    error = "the font " + key.first + " has no scalable outlines";
    return nullptr;
  }
  auto font = std::make_unique<OpenFont>();
  font->face = ftFace;
  font->hb = hb_ft_font_create_referenced(ftFace);
  hb_ft_font_set_load_flags(font->hb, kLoadFlags);
  OpenFont* raw = font.get();
  lib.fonts.emplace(std::move(key), std::move(font));
  return raw;
}

void setSize(OpenFont& f, int px) {
  if (f.size == px) return;
  if (FT_IS_SCALABLE(f.face)) {
    FT_Set_Pixel_Sizes(f.face, 0, FT_UInt(px));
  } else {
    // A bitmap font offers what it has: the nearest of its sizes.
    int best = 0;
    for (int i = 1; i < f.face->num_fixed_sizes; ++i)
      if (std::abs(f.face->available_sizes[i].height - px) < std::abs(f.face->available_sizes[best].height - px))
        best = i;
    FT_Select_Size(f.face, best);
  }
  hb_ft_font_changed(f.hb);
  f.size = px;
}

uint64_t glyphKey(int px, unsigned gid) { return (uint64_t(unsigned(px)) << 32) | gid; }

const GlyphBox& glyphBox(OpenFont& f, unsigned gid) {
  auto [it, fresh] = f.boxes.try_emplace(glyphKey(f.size, gid));
  if (!fresh) return it->second;
  GlyphBox& box = it->second;
  if (FT_Load_Glyph(f.face, gid, kLoadFlags)) return box;
  const FT_GlyphSlot slot = f.face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    // The grey renderer covers exactly the pixel-aligned control box of the outline.
    FT_BBox cb;
    FT_Outline_Get_CBox(&slot->outline, &cb);
    if (cb.xMax > cb.xMin && cb.yMax > cb.yMin) {
      box.left = int(std::floor(cb.xMin / 64.0));
      box.right = int(std::ceil(cb.xMax / 64.0));
      box.top = -int(std::ceil(cb.yMax / 64.0));
      box.bottom = -int(std::floor(cb.yMin / 64.0));
    }
  } else if (slot->format == FT_GLYPH_FORMAT_BITMAP && slot->bitmap.width > 0) {
    box.left = slot->bitmap_left;
    box.right = slot->bitmap_left + int(slot->bitmap.width);
    box.top = -slot->bitmap_top;
    box.bottom = -slot->bitmap_top + int(slot->bitmap.rows);
  }
  return box;
}

const GlyphBitmap& glyphBitmap(OpenFont& f, unsigned gid) {
  if (f.bitmaps.size() > 50000) f.bitmaps.clear();  // a bound for long sessions
  auto [it, fresh] = f.bitmaps.try_emplace(glyphKey(f.size, gid));
  if (!fresh) return it->second;
  GlyphBitmap& out = it->second;
  if (FT_Load_Glyph(f.face, gid, kLoadFlags | FT_LOAD_RENDER)) return out;
  const FT_GlyphSlot slot = f.face->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.width == 0 || bm.rows == 0) return out;
  out.left = slot->bitmap_left;
  out.top = -slot->bitmap_top;
  out.width = int(bm.width);
  out.rows = int(bm.rows);
  out.coverage.resize(size_t(out.width) * out.rows);
  for (int y = 0; y < out.rows; ++y) {
    const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
    for (int x = 0; x < out.width; ++x) {
      uint8_t v = 0;
      if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) v = uint8_t(bm.num_grays == 256 ? row[x] : row[x] * 255 / (bm.num_grays - 1));
      else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) v = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
      else if (bm.pixel_mode == FT_PIXEL_MODE_BGRA) v = row[x * 4 + 3];
      out.coverage[size_t(y) * out.width + x] = v;
    }
  }
  if (f.boxes.find(glyphKey(f.size, gid)) == f.boxes.end())
    f.boxes[glyphKey(f.size, gid)] = GlyphBox{out.left, out.top, out.left + out.width, out.top + out.rows};
  return out;
}

// ---------------------------------------------------------------------------------
// One line: split into runs of one script and direction, each shaped by HarfBuzz, the
// runs put in display order.
//
// Characters common to all scripts (spaces, punctuation) and combining marks join the
// run before them, so the spaces between two Arabic words stay inside the Arabic run.
// Digits inside a right-to-left run read left to right and form a run of their own.
// The line's own direction is that of its first character with a direction; runs are
// then reordered by embedding level (right-to-left runs 1; left-to-right runs 0 in a
// left-to-right line, 2 in a right-to-left one; digits 2), reversing every sequence at
// or above each level from the highest down to 1.

struct Run {
  size_t start = 0, end = 0;  // code point indices into the line
  hb_script_t script = HB_SCRIPT_COMMON;
  hb_direction_t dir = HB_DIRECTION_LTR;
  int level = 0;
  bool digits = false;
};

bool isDigit(char32_t c) {
  return hb_unicode_general_category(hb_unicode_funcs_get_default(), c) == HB_UNICODE_GENERAL_CATEGORY_DECIMAL_NUMBER;
}

bool isRtl(hb_script_t s) { return hb_script_get_horizontal_direction(s) == HB_DIRECTION_RTL; }

std::vector<Run> itemize(const std::u32string& text, size_t start, size_t end) {
  hb_unicode_funcs_t* uf = hb_unicode_funcs_get_default();
  std::vector<Run> runs;
  hb_script_t current = HB_SCRIPT_COMMON;
  // The script of leading common characters is that of the first real one after them.
  for (size_t i = start; i < end; ++i) {
    const hb_script_t s = hb_unicode_script(uf, text[i]);
    if (s != HB_SCRIPT_COMMON && s != HB_SCRIPT_INHERITED && s != HB_SCRIPT_UNKNOWN) {
      current = s;
      break;
    }
  }
  for (size_t i = start; i < end; ++i) {
    hb_script_t s = hb_unicode_script(uf, text[i]);
    if (s == HB_SCRIPT_COMMON || s == HB_SCRIPT_INHERITED || s == HB_SCRIPT_UNKNOWN) s = current;
    // Kana and Han set together: one run in the Japanese manner.
    if ((s == HB_SCRIPT_HAN && (current == HB_SCRIPT_HIRAGANA || current == HB_SCRIPT_KATAKANA)) ||
        ((s == HB_SCRIPT_HIRAGANA || s == HB_SCRIPT_KATAKANA) && current == HB_SCRIPT_HAN))
      s = current;
    current = s;
    const bool digit = isRtl(s) && isDigit(text[i]);
    if (runs.empty() || runs.back().script != s || runs.back().digits != digit) {
      Run r;
      r.start = i;
      r.script = s;
      r.digits = digit;
      r.dir = digit ? HB_DIRECTION_LTR : (isRtl(s) ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
      runs.push_back(r);
    }
    runs.back().end = i + 1;
  }
  bool rtlLine = false;
  for (const Run& r : runs)
    if (!r.digits) {
      rtlLine = r.dir == HB_DIRECTION_RTL;
      break;
    }
  for (Run& r : runs) r.level = r.digits ? 2 : r.dir == HB_DIRECTION_RTL ? 1 : rtlLine ? 2 : 0;
  return runs;
}

void reorderRuns(std::vector<Run>& runs) {
  int top = 0;
  for (const Run& r : runs) top = std::max(top, r.level);
  for (int level = top; level >= 1; --level) {
    for (size_t i = 0; i < runs.size();) {
      if (runs[i].level < level) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < runs.size() && runs[j].level >= level) ++j;
      std::reverse(runs.begin() + std::ptrdiff_t(i), runs.begin() + std::ptrdiff_t(j));
      i = j;
    }
  }
}

hb_language_t languageOf(hb_script_t s, const std::u32string& text, const Run& run) {
  const char* tag = nullptr;
  switch (s) {
    case HB_SCRIPT_ARABIC: tag = "ar"; break;
    case HB_SCRIPT_HEBREW: tag = "he"; break;
    case HB_SCRIPT_DEVANAGARI: tag = "hi"; break;
    case HB_SCRIPT_BENGALI: tag = "bn"; break;
    case HB_SCRIPT_TAMIL: tag = "ta"; break;
    case HB_SCRIPT_THAI: tag = "th"; break;
    case HB_SCRIPT_GREEK: tag = "el"; break;
    case HB_SCRIPT_CYRILLIC: tag = "ru"; break;
    case HB_SCRIPT_HANGUL: tag = "ko"; break;
    case HB_SCRIPT_HIRAGANA:
    case HB_SCRIPT_KATAKANA: tag = "ja"; break;
    case HB_SCRIPT_HAN: {
      // Han alone is Chinese unless kana is about.
      tag = "zh";
      for (size_t i = run.start; i < run.end; ++i)
        if (text[i] >= 0x3040 && text[i] <= 0x30FF) tag = "ja";
      break;
    }
    default: break;
  }
  return tag ? hb_language_from_string(tag, -1) : hb_language_get_default();
}

struct PlacedGlyph {
  unsigned gid = 0;
  int x = 0, y = 0;  // pen position in whole pixels, from the line's origin (y down)
};

struct Line {
  std::vector<PlacedGlyph> glyphs;
  int advance = 0;
  // The line's box from its origin: the pen's span and the ink, whichever is larger.
  int left = 0, right = 0, top = 0, bottom = 0;
  int missing = 0;  // glyphs the font does not have
};

struct Shaper {
  OpenFont& font;
  hb_buffer_t* buf = hb_buffer_create();
  ~Shaper() { hb_buffer_destroy(buf); }

  // Shapes text[start, end) as one line; spaces at its ends are not set.
  Line line(const std::u32string& text, size_t start, size_t end, std::vector<ShapedGlyph>* shaped = nullptr) {
    while (end > start && isSpace(text[end - 1])) --end;
    Line out;
    const FT_Size_Metrics& m = font.face->size->metrics;
    out.top = -int(std::ceil(m.ascender / 64.0));
    out.bottom = -int(std::floor(m.descender / 64.0));
    std::vector<Run> runs = itemize(text, start, end);
    reorderRuns(runs);
    hb_position_t pen = 0;  // 26.6
    for (const Run& r : runs) {
      hb_buffer_clear_contents(buf);
      // The whole line goes in as context, so joining forms at run edges are right.
      hb_buffer_add_utf32(buf, reinterpret_cast<const uint32_t*>(text.data() + start), int(end - start),
                          unsigned(r.start - start), int(r.end - r.start));
      hb_buffer_set_direction(buf, r.dir);
      hb_buffer_set_script(buf, r.script == HB_SCRIPT_COMMON ? HB_SCRIPT_LATIN : r.script);
      hb_buffer_set_language(buf, languageOf(r.script, text, r));
      hb_buffer_set_flags(buf, hb_buffer_flags_t((r.start == start ? HB_BUFFER_FLAG_BOT : 0) |
                                                 (r.end == end ? HB_BUFFER_FLAG_EOT : 0)));
      hb_shape(font.hb, buf, nullptr, 0);
      unsigned count = 0;
      const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
      const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buf, &count);
      for (unsigned i = 0; i < count; ++i) {
        PlacedGlyph g;
        g.gid = info[i].codepoint;
        g.x = int(std::lround((pen + pos[i].x_offset) / 64.0));
        g.y = -int(std::lround(pos[i].y_offset / 64.0));
        if (g.gid == 0) ++out.missing;
        out.glyphs.push_back(g);
        if (shaped) shaped->push_back(ShapedGlyph{g.gid, info[i].cluster});
        pen += pos[i].x_advance;
      }
    }
    out.advance = int(std::lround(pen / 64.0));
    out.right = out.advance;
    for (const PlacedGlyph& g : out.glyphs) {
      const GlyphBox& b = glyphBox(font, g.gid);
      if (b.left == b.right) continue;
      out.left = std::min(out.left, g.x + b.left);
      out.right = std::max(out.right, g.x + b.right);
      out.top = std::min(out.top, g.y + b.top);
      out.bottom = std::max(out.bottom, g.y + b.bottom);
    }
    return out;
  }
};

int lineSpacing(const OpenFont& f) { return int(std::lround(f.face->size->metrics.height / 64.0)); }

// A set of lines and the room they take, shadow included.
struct Block {
  std::vector<Line> lines;
  int width = 0, height = 0;
  int firstBaseline = 0;  // from the block's top
  int spacing = 0;
  int shadowX = 0, shadowY = 0;  // how far the shadow reaches past the text (right, down)
  int shadowLeft = 0, shadowUp = 0;  // ... and, for a negative offset, left and up
};

Block measure(std::vector<Line> lines, int spacing, const LabelStyle& style) {
  Block b;
  b.spacing = spacing;
  const int o = style.shadow ? style.shadowOffset : 0;
  b.shadowX = b.shadowY = std::max(o, 0);
  b.shadowLeft = b.shadowUp = std::max(-o, 0);
  int top = INT_MAX, bottom = INT_MIN;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    b.width = std::max(b.width, l.right - l.left + b.shadowX + b.shadowLeft);
    top = std::min(top, int(i) * spacing + l.top);
    bottom = std::max(bottom, int(i) * spacing + l.bottom);
  }
  if (!lines.empty()) {
    b.height = bottom - top + b.shadowY + b.shadowUp;
    b.firstBaseline = -top + b.shadowUp;
  }
  b.lines = std::move(lines);
  return b;
}

bool fits(const Block& b, const LabelStyle& s) {
  return (s.maxWidth <= 0 || b.width <= s.maxWidth) && (s.maxHeight <= 0 || b.height <= s.maxHeight);
}

// Paragraph ranges (code point indices) between hard line breaks.
std::vector<std::pair<size_t, size_t>> paragraphs(const std::u32string& t) {
  std::vector<std::pair<size_t, size_t>> out;
  size_t s = 0;
  for (size_t i = 0; i <= t.size(); ++i)
    if (i == t.size() || t[i] == U'\n') out.emplace_back(s, i), s = i + 1;
  return out;
}

// Breaks one paragraph greedily: each line takes as much as fits in `width`. Returns
// false when a piece between two break opportunities is wider than the box on its own.
bool wrap(Shaper& shaper, const std::u32string& t, size_t start, size_t end, int width, int extra,
          std::vector<Line>& out) {
  std::vector<size_t> breaks;
  for (size_t i = start + 1; i < end; ++i)
    if (breakBefore(t, i)) breaks.push_back(i);
  breaks.push_back(end);
  size_t s = start;
  while (s < end && isSpace(t[s])) ++s;
  if (s >= end) {
    out.push_back(shaper.line(t, start, start));
    return true;
  }
  size_t k = 0;
  while (s < end) {
    while (k < breaks.size() && breaks[k] <= s) ++k;
    std::optional<Line> best;
    size_t bestEnd = s;
    for (size_t j = k; j < breaks.size(); ++j) {
      Line l = shaper.line(t, s, breaks[j]);
      if (l.right - l.left + extra > width) break;
      best = std::move(l);
      bestEnd = breaks[j];
    }
    if (!best) return false;
    out.push_back(std::move(*best));
    s = bestEnd;
    while (s < end && isSpace(t[s])) ++s;
  }
  return true;
}

menuview::Image draw(OpenFont& font, const Block& b, const LabelStyle& style) {
  const bool box = style.maxWidth > 0 && style.maxHeight > 0;
  const int w = box ? style.maxWidth : b.width, h = box ? style.maxHeight : b.height;
  menuview::Image img(std::max(w, 0), std::max(h, 0));
  if (img.empty()) return img;
  // The block's top-left corner in the picture.
  const int bx = box && style.align == Align::Centre ? (w - b.width) / 2 : 0;
  const int by = box ? (h - b.height) / 2 : 0;
  std::vector<uint8_t> cov(size_t(w) * h, 0);
  for (size_t i = 0; i < b.lines.size(); ++i) {
    const Line& l = b.lines[i];
    const int lw = l.right - l.left + b.shadowX + b.shadowLeft;
    int ox = bx + b.shadowLeft - l.left;
    if (style.align == Align::Centre) ox += (b.width - lw) / 2;
    const int oy = by + b.firstBaseline + int(i) * b.spacing;
    for (const PlacedGlyph& g : l.glyphs) {
      const GlyphBitmap& bm = glyphBitmap(font, g.gid);
      const int gx = ox + g.x + bm.left, gy = oy + g.y + bm.top;
      for (int y = 0; y < bm.rows; ++y) {
        const int py = gy + y;
        if (py < 0 || py >= h) continue;
        for (int x = 0; x < bm.width; ++x) {
          const int px = gx + x;
          if (px < 0 || px >= w) continue;
          uint8_t& c = cov[size_t(py) * w + px];
          // Glyphs that touch (joined letters, marks) take the larger coverage, so their
          // seams do not darken.
          c = std::max(c, bm.coverage[size_t(y) * bm.width + x]);
        }
      }
    }
  }
  const menuview::Rgba col = style.colour;
  auto scaled = [](menuview::Rgba c, unsigned coverage) {
    c.a = uint8_t((c.a * coverage + 127) / 255);
    return c;
  };
  const int o = style.shadowOffset;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t c = cov[size_t(y) * w + x];
      menuview::Rgba out{0, 0, 0, 0};
      if (style.shadow) {
        const int sx = x - o, sy = y - o;
        const uint8_t sc = sx >= 0 && sy >= 0 && sx < w && sy < h ? cov[size_t(sy) * w + sx] : 0;
        if (sc) out = scaled(*style.shadow, sc);
        if (c) out = out.a ? menuview::blendPixel(out, scaled(col, c)) : scaled(col, c);
      } else if (c) {
        out = scaled(col, c);
      }
      if (out.a) img.setPixel(x, y, out);
    }
  return img;
}

}  // namespace

// ---------------------------------------------------------------------------------

namespace {
// The fonts fontconfig knows, loaded once on first use. Ours rather than the library's
// shared default, so it is released at exit and the other users of fontconfig in the
// program (the desktop toolkit) keep theirs untouched.
struct FontConfig {
  FcConfig* config = FcInitLoadConfigAndFonts();
  ~FontConfig() {
    if (config) FcConfigDestroy(config);
  }
};
}  // namespace

std::optional<FontFace> findFont(const std::string& pattern, std::string& error) {
  static std::mutex fcLock;
  std::lock_guard guard(fcLock);
  static FontConfig fc;
  const std::string want = pattern.empty() ? std::string("sans-serif") : pattern;

  std::error_code ec;
  const bool looksLikeFile = want.find('/') != std::string::npos || std::filesystem::is_regular_file(want, ec);
  if (looksLikeFile) {
    const std::filesystem::path file(want);
    if (!std::filesystem::is_regular_file(file, ec)) {
      error = "font file " + want + " does not exist";
      return std::nullopt;
    }
    int count = 0;
    FcPattern* p = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(want.c_str()), 0, nullptr, &count);
    if (!p) {
      error = want + " is not a font file (FreeType cannot read it)";
      return std::nullopt;
    }
    FontFace face;
    face.file = file;
    FcChar8* s = nullptr;
    if (FcPatternGetString(p, FC_FAMILY, 0, &s) == FcResultMatch) face.family = reinterpret_cast<char*>(s);
    if (FcPatternGetString(p, FC_STYLE, 0, &s) == FcResultMatch) face.style = reinterpret_cast<char*>(s);
    FcPatternDestroy(p);
    return face;
  }

  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>(want.c_str()));
  if (!pat) {
    error = "\"" + want + "\" is not a font name fontconfig can read";
    return std::nullopt;
  }
  std::vector<std::string> asked;
  FcChar8* s = nullptr;
  for (int i = 0; FcPatternGetString(pat, FC_FAMILY, i, &s) == FcResultMatch; ++i) asked.emplace_back(reinterpret_cast<char*>(s));
  if (!fc.config) {
    FcPatternDestroy(pat);
    error = "fontconfig could not load its configuration, so no font can be looked up by name";
    return std::nullopt;
  }
  FcConfigSubstitute(fc.config, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(fc.config, pat, &result);
  FcPatternDestroy(pat);
  if (!match) {
    error = "no font on this system matches \"" + want + "\" (is fontconfig configured, with fonts installed?)";
    return std::nullopt;
  }
  FontFace face;
  int index = 0;
  if (FcPatternGetString(match, FC_FILE, 0, &s) == FcResultMatch) face.file = reinterpret_cast<char*>(s);
  if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) face.index = index & 0xFFFF;
  std::vector<std::string> found;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &s) == FcResultMatch; ++i) found.emplace_back(reinterpret_cast<char*>(s));
  if (!found.empty()) face.family = found.front();
  if (FcPatternGetString(match, FC_STYLE, 0, &s) == FcResultMatch) face.style = reinterpret_cast<char*>(s);
  FcPatternDestroy(match);
  if (face.file.empty()) {
    error = "fontconfig matched \"" + want + "\" to a font without a file";
    return std::nullopt;
  }
  // Generic names stand for whatever the system chose; any other family asked for is
  // substituted when the match does not carry that name.
  auto fold = [](std::string v) {
    std::string out;
    for (char c : v)
      if (c != ' ' && c != '-') out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  static const char* const generic[] = {"sans", "sansserif", "serif", "mono", "monospace", "systemui",
                                        "cursive", "fantasy", "emoji", "math"};
  if (!asked.empty()) {
    const std::string a = fold(asked.front());
    const bool isGeneric = std::any_of(std::begin(generic), std::end(generic), [&](const char* g) { return a == g; });
    face.substituted = !isGeneric && std::none_of(found.begin(), found.end(), [&](const std::string& f) { return fold(f) == a; });
  }
  return face;
}

std::vector<ShapedGlyph> shapeLine(const FontFace& face, std::string_view utf8, int pixelSize) {
  std::lock_guard guard(fontLock());
  std::string error;
  OpenFont* font = openFont(face, error);
  std::vector<ShapedGlyph> out;
  if (!font || pixelSize <= 0) return out;
  setSize(*font, pixelSize);
  std::u32string text = cleanText(decodeUtf8(utf8));
  std::replace(text.begin(), text.end(), U'\n', U' ');
  Shaper shaper{*font};
  shaper.line(text, 0, text.size(), &out);
  return out;
}

SetLabel setLabel(const FontFace& face, std::string_view utf8, const LabelStyle& style) {
  SetLabel out;
  const std::u32string text = cleanText(decodeUtf8(utf8));
  const bool box = style.maxWidth > 0 && style.maxHeight > 0;
  if (text.empty()) {
    out.ok = true;
    out.pixelSize = style.pixelSize;
    out.image = box ? menuview::Image(style.maxWidth, style.maxHeight) : menuview::Image();
    return out;
  }
  if (style.pixelSize <= 0) {
    out.error = "label " + quoteLabel(text) + ": the text size must be at least 1 pixel";
    return out;
  }
  std::lock_guard guard(fontLock());
  OpenFont* font = openFont(face, out.error);
  if (!font) {
    out.error = "label " + quoteLabel(text) + ": " + out.error;
    return out;
  }
  const int largest = style.pixelSize;
  const int smallest = std::clamp(style.minPixelSize, 1, largest);
  const int maxLines = std::max(style.maxLines, 1);
  const auto paras = paragraphs(text);
  Shaper shaper{*font};
  const int shadowExtra = style.shadow ? std::abs(style.shadowOffset) : 0;

  auto accept = [&](Block&& b, int px) {
    out.ok = true;
    out.pixelSize = px;
    out.lines = int(b.lines.size());
    for (const Line& l : b.lines) out.missingGlyphs += l.missing;
    out.image = draw(*font, b, style);
  };

  // Each hard line on one line of its own, from the largest size down. A size that
  // overshoots the width by far skips the sizes that cannot fit either (widths grow
  // with the size), landing a little above the estimate so no fitting size is missed.
  if (int(paras.size()) <= maxLines) {
    for (int px = largest; px >= smallest;) {
      setSize(*font, px);
      std::vector<Line> lines;
      for (auto [s, e] : paras) lines.push_back(shaper.line(text, s, e));
      Block b = measure(std::move(lines), lineSpacing(*font), style);
      if (fits(b, style)) {
        accept(std::move(b), px);
        return out;
      }
      int next = px - 1;
      if (style.maxWidth > 0 && b.width > style.maxWidth)
        next = std::min(next, int(std::ceil(double(px) * style.maxWidth / b.width)) + 2);
      if (style.maxHeight > 0 && b.height > style.maxHeight)
        next = std::min(next, int(std::ceil(double(px) * style.maxHeight / b.height)) + 2);
      px = std::max(next, px == smallest ? smallest - 1 : smallest);
    }
    // Then wrapped at the break opportunities, again from the largest size down.
    if (style.maxWidth > 0 && maxLines > int(paras.size())) {
      for (int px = largest; px >= smallest; --px) {
        setSize(*font, px);
        std::vector<Line> lines;
        bool ok = true;
        for (auto [s, e] : paras) {
          if (!wrap(shaper, text, s, e, style.maxWidth, shadowExtra, lines) || int(lines.size()) > maxLines) {
            ok = false;
            break;
          }
        }
        if (!ok) continue;
        Block b = measure(std::move(lines), lineSpacing(*font), style);
        if (fits(b, style)) {
          accept(std::move(b), px);
          return out;
        }
      }
    }
  }
  std::string boxText = style.maxWidth > 0 ? std::to_string(style.maxWidth) : "any width";
  boxText += " x ";
  boxText += style.maxHeight > 0 ? std::to_string(style.maxHeight) : "any height";
  out.error = "label " + quoteLabel(text) + " does not fit in its box of " + boxText + " pixels, even at " +
              std::to_string(smallest) + " px on " + std::to_string(maxLines) + (maxLines == 1 ? " line" : " lines");
  if (int(paras.size()) > maxLines)
    out.error += " (it has " + std::to_string(paras.size()) + " lines of its own)";
  out.pixelSize = smallest;
  return out;
}

}  // namespace morvex::typeset

#include "nav/nav_edit.h"

#include <algorithm>

#include "core/text.h"

namespace morvex::nav {

namespace {

std::string pad3(uint64_t n) { return core::decimalText(n, 3); }

// The ExtensionData start address moves with the body before it, when there is one.
void moveExtension(uint32_t& address, int64_t delta) {
  if (address != 0) address = static_cast<uint32_t>(static_cast<int64_t>(address) + delta);
}

void shiftMobj(MovieObjectFile& mobj, int64_t delta) {
  mobj.movieObjects.length = static_cast<uint32_t>(static_cast<int64_t>(mobj.movieObjects.length) + delta);
  moveExtension(mobj.extensionDataStartAddress, delta);
}

void shiftIndex(IndexTable& indx, int64_t delta) {
  indx.indexes.length = static_cast<uint32_t>(static_cast<int64_t>(indx.indexes.length) + delta);
  moveExtension(indx.extensionDataStartAddress, delta);
}

void renumberTitles(IndexTable& indx) {
  for (size_t i = 0; i < indx.indexes.titles.size(); ++i) indx.indexes.titles[i].titleNumber = static_cast<uint32_t>(i + 1);
}

}  // namespace

std::array<std::string, 5> titleRowTexts(const Title& t) {
  std::string oid;
  if (t.isHdmv()) oid = t.objectId == kNoObject ? "??" : std::to_string(t.objectId);
  else oid = t.bdjFileName;
  return {pad3(t.titleNumber), objectTypeText(t.objectType), accessTypeText(t.accessType),
          playbackTypeText(t.playbackType), oid};
}

std::string titleCountLabel(const IndexTable& indx) {
  int k = 0;
  if (indx.indexes.firstPlayback.objectId != kNoObject) ++k;
  if (indx.indexes.topMenu.objectId != kNoObject) ++k;
  std::string s = std::to_string(indx.indexes.titles.size());
  if (k > 0) s += " + " + std::to_string(k);
  return s + " titles";
}

std::array<std::string, 5> objectRowTexts(const MovieObject& o, int number) {
  return {pad3(static_cast<uint64_t>(number)), resumeText(o.resumeIntentionFlag), maskText(o.menuCallMask),
          maskText(o.titleSearchMask), std::to_string(o.commands.size())};
}

std::string objectCountLabel(const MovieObjectFile& mobj) {
  return std::to_string(mobj.movieObjects.objects.size()) + " objects";
}

int accessTypeEntry(uint8_t accessType) { return accessType == 0 ? 0 : accessType - 1; }

uint8_t accessTypeFromEntry(int entry) {
  static constexpr uint8_t kValues[3] = {0, 2, 3};
  return kValues[std::clamp(entry, 0, 2)];
}

void setFirstPlaybackOn(IndexTable& indx, bool on, uint16_t selectedObject) {
  Title& fp = indx.indexes.firstPlayback;
  if (!on) fp.objectId = kNoObject;
  else if (fp.isHdmv()) fp.objectId = selectedObject;
}

void setTopMenuOn(IndexTable& indx, bool on, uint16_t selectedObject) {
  indx.indexes.topMenu.objectId = on ? selectedObject : kNoObject;
}

int insertTitle(IndexTable& indx, int afterRow) {
  auto& titles = indx.indexes.titles;
  const int n = static_cast<int>(titles.size());
  if (titles.size() >= kMaxTitles) return -1;
  const int pos = n == 0 ? 0 : std::clamp(afterRow, -1, n - 1) + 1;
  Title t;
  t.objectType = ObjectHDMV;
  titles.insert(titles.begin() + pos, t);
  renumberTitles(indx);
  shiftIndex(indx, 12);
  return pos;
}

int deleteTitles(IndexTable& indx, int first, int last) {
  auto& titles = indx.indexes.titles;
  if (titles.empty()) return -1;
  const int maxRow = static_cast<int>(titles.size()) - 1;
  first = std::clamp(first, 0, maxRow);
  last = std::clamp(last, 0, maxRow);
  if (first > last) std::swap(first, last);
  const int k = last - first + 1;
  titles.erase(titles.begin() + first, titles.begin() + last + 1);
  renumberTitles(indx);
  shiftIndex(indx, -12 * static_cast<int64_t>(k));
  if (titles.empty()) return -1;
  return first > 0 ? first - 1 : 0;
}

int insertObject(MovieObjectFile& mobj, int afterRow) {
  auto& objs = mobj.movieObjects.objects;
  const int n = static_cast<int>(objs.size());
  const int pos = n == 0 ? 0 : std::clamp(afterRow, -1, n - 1) + 1;
  objs.insert(objs.begin() + pos, MovieObject{});
  shiftMobj(mobj, 4);
  return pos;
}

int insertObject(MovieObjectFile& mobj, IndexTable& indx, int afterRow) {
  const int pos = insertObject(mobj, afterRow);
  for (Title& t : indx.indexes.titles)
    if (t.isHdmv() && t.objectId != kNoObject && t.objectId >= pos && t.objectId < kNoObject - 1) ++t.objectId;
  return pos;
}

ObjectDeletion deleteObjects(MovieObjectFile& mobj, IndexTable& indx, int s, int e, core::Log& log) {
  ObjectDeletion out;
  auto& objs = mobj.movieObjects.objects;
  if (objs.empty()) return out;
  const int maxRow = static_cast<int>(objs.size()) - 1;
  s = std::clamp(s, 0, maxRow);
  e = std::clamp(e, 0, maxRow);
  if (s > e) std::swap(s, e);
  const int k = e - s + 1;
  int64_t commands = 0;
  for (int i = s; i <= e; ++i) commands += static_cast<int64_t>(objs[i].commands.size());
  objs.erase(objs.begin() + s, objs.begin() + e + 1);
  shiftMobj(mobj, -(4 * static_cast<int64_t>(k) + 12 * commands));

  const int64_t remaining = static_cast<int64_t>(objs.size());
  auto& titles = indx.indexes.titles;
  for (size_t i = 0; i < titles.size(); ++i) {
    Title& t = titles[i];
    if (!t.isHdmv()) continue;
    // A title that had no object keeps none: 0xFFFF is not a number to shift.
    if (t.objectId != kNoObject) {
      if (t.objectId >= s && t.objectId <= e) {
        t.objectId = kNoObject;
        out.unreferenced.push_back(i);
      } else if (t.objectId > e) {
        t.objectId = static_cast<uint16_t>(t.objectId - k);
        out.renumbered.push_back(i);
      }
    }
    if (static_cast<int64_t>(t.objectId) > remaining - 1) {
      log.error("Invalid object reference in Title " + std::to_string(t.titleNumber));
      out.reported.push_back(t.titleNumber);
    }
  }
  if (!out.reported.empty()) log.errorStatus("See Status");
  out.select = objs.empty() ? -1 : (s > 0 ? s - 1 : 0);
  return out;
}

hdmv::EditOutcome editObjectCommands(MovieObjectFile& mobj, int object, int first, int last, hdmv::CmdKey key,
                                     hdmv::CommandList& clipboard) {
  auto& objs = mobj.movieObjects.objects;
  if (object < 0 || object >= static_cast<int>(objs.size())) return {};
  hdmv::EditOutcome out = hdmv::applyCmdKey(objs[object].commands, first, last, key, clipboard);
  shiftMobj(mobj, 12 * static_cast<int64_t>(out.inserted - out.deleted));
  return out;
}

hdmv::EditOutcome insertObjectCommands(MovieObjectFile& mobj, int object, int b, const hdmv::CommandList& q) {
  auto& objs = mobj.movieObjects.objects;
  if (object < 0 || object >= static_cast<int>(objs.size())) return {};
  hdmv::EditOutcome out = hdmv::insertCommands(objs[object].commands, b, q);
  shiftMobj(mobj, 12 * static_cast<int64_t>(out.inserted));
  return out;
}

}  // namespace morvex::nav

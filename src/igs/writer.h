#pragma once
// Writing a menu as one complete IG display set: composition segments, palettes,
// objects and an end segment, each with time stamps derived from the menu's IN_time.
//
// Two forms: the menu file (each segment behind the 10-byte "IG" unit header) and a
// sequence of PES packets (one segment per packet) for the muxer.
#include <filesystem>
#include <string>

#include "core/binary.h"
#include "core/log.h"
#include "core/save.h"
#include "core/write_result.h"
#include "igs/model.h"

namespace morvex::igs {

enum class SaveForm { MenuFile = 0, Pes = 1 };

// Size limits: a segment's length field is at most 65519 so that a PES packet of one
// segment (length + 16 at most) fits the 16-bit PES_packet_length.
inline constexpr uint32_t kMaxSegmentLength = 65519;

// Serializes the pages in the page-data layout.
core::Bytes serializePages(const std::vector<Page>& pages);

// The object output order: page 0's in-effect objects, then the objects of its
// buttons state by state (BOGs whose default valid button exists first), then every
// other id ascending. Sets each object's save order.
std::vector<uint16_t> objectOrder(Menu& menu);

// Brings the menu in step with what the writer lays out: every object is run-length
// coded afresh, the composition segment list, the object fragment lists and the save
// orders are rebuilt to describe the written display set, palette entries without a
// stored Y get their Y, Cr, Cb from their colour, and an IN_time too early for the
// object data moves later (logged).
void settleMenu(Menu& menu, core::Log& log);

// The menu in the given form, as settleMenu would lay it out; the menu is not changed.
core::Bytes writeMenu(const Menu& menu, SaveForm form);

// Saves the menu as folder/fileName through the saving policy. Logs "Saving IGS
// menu..." first and "<fileName> saved." once written; the menu is not changed.
core::WriteResult saveMenuFile(const Menu& menu, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log);

// Unit header of either form for a segment of `segLength` payload bytes; the segment
// type and length follow it. A PES header carries a DTS when `dts` is not 0, or always
// when `withDts` is set (composition and object segments need one even at time 0).
void writeUnitHeader(core::ByteWriter& w, SaveForm form, uint32_t pts, uint32_t dts, uint32_t segLength,
                     bool withDts = false);

// The IN_time a save writes: the menu's own, moved later when the object data would
// otherwise have to be decoded before time 0 (decoding starts D*9/600 ticks early).
uint32_t effectiveInTime(uint32_t inTime, uint64_t objectBytes);

}  // namespace morvex::igs

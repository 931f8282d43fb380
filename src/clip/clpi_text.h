#pragma once
// The texts the clip information view shows: grid rows (column 0 holds the row's
// number), headers, the application type names and the stream details.
#include <cstdint>
#include <string>
#include <vector>

#include "clip/clpi.h"

namespace morvex::clip {

using GridRow = std::vector<std::string>;
using GridRows = std::vector<GridRow>;


// Names of the stream attribute codes ("" when the value has none).
std::string codingTypeName(uint8_t codingType);
std::string videoFormatName(uint8_t v);
std::string frameRateName(uint8_t v);
std::string audioPresentationName(uint8_t v);
std::string samplingFrequencyName(uint8_t v);

// Application types 0..7 by index ("res.", "Main TS for a Movie", ...).
const std::vector<std::string>& applicationTypeNames();

// The details column of a ProgramInfo row: "1080p, 23.976, 16:9",
// "Multi-ch., 48 kHz, eng", a language code, "<charcode>, <lang>" or nothing.
std::string streamDetails(const ClipStream& s);

// Column headers (columns 1..) of each grid.
extern const std::vector<std::string> kHeadCI, kHeadSequence, kHeadSTC, kHeadATCdelta, kHeadFontFiles, kHeadEPmap,
    kHeadEPCoarse, kHeadEPfine, kHeadCIRef;

// sgCI: the streams of the last program sequence (number from 1, PID, type, details).
GridRows programRows(const ClipInfo& c);
GridRows programRows(const ProgramSequence& p);
// sgSequence: number from 0, spnAtcStart, number of STC, offset STC id.
GridRows sequenceRows(const ClipInfo& c);
// sgSTCseq: the ATC sequence's number, PCR PID, spnStcStart, start and end times.
GridRows stcRows(const ClipInfo& c);
// sgATCdelta: number from 0, ATC delta, following clip, codec identifier.
GridRows atcDeltaRows(const ClipInfo& c);
// sgFontFiles: number from 1, file name.
GridRows fontRows(const ClipInfo& c);
// sgEPmap: number from 0, PID, EP type, coarse count, fine count, map start.
GridRows epMapRows(const ClipInfo& c);
// sgEPCoarse / sgEPfine of one PID's map.
GridRows epCoarseRows(const EpMap& m);
// One row of each, for views that ask for the rows they show (an EP map of a long clip
// has tens of thousands of fine entries).
GridRow epCoarseRow(const EpMap& m, size_t i);
GridRow epFineRow(const EpMap& m, size_t i);
GridRows epFineRows(const EpMap& m);

// The PID of a ProgramInfo row's column 1 read back as hexadecimal (characters that are
// not hexadecimal digits are ignored).
uint32_t pidFromText(const std::string& text);

// Whether "-> Menu" applies to a row: the stream file exists and the PID is an IG PID
// (high byte 0x14).
bool rowLoadsMenu(const std::string& pidText, uint64_t streamSize);

}  // namespace morvex::clip

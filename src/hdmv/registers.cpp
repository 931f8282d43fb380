#include "hdmv/registers.h"
#include "core/text.h"

#include <cstdio>

#include "core/log.h"

namespace morvex::hdmv {

namespace {

constexpr std::string_view kReserved = "reserved";

constexpr std::string_view kPsrNames[kPsrNamed] = {
    "Interactive Graphics Stream Number (b7-b0) {1-32,$ff}",
    "Primary Audio Stream Number (b7-b0) {1-32,$ff}",
    "PG and PiP PG TextST Stream Number (b31: disp_s, b30: PIP_PG_textST_valid, b27-b16: PiP PG TextST, "
    "b11-b0: PG TextST) {0-255,$fff}",
    "Angle Number (b7-b0) {1-9}",
    "Title Number (b15-b0) {1-999,$ffff}",
    "Chapter Number (b15-b0) {1-999,$ffff}",
    "PlayList id (b15-b0) {0-1999}",
    "PlayItem id (b15-b0) {0-998}",
    "Presentation Time in 45kHz {0-$ffffffff}",
    "Navigation Timer (b15-b0) {0-300} sec",
    "Selected Button id (b15-b0) {0-$1fdf,$ffff}",
    "Menu Page id (b7-b0) {0-$fe}",
    "User Style Number (b7-b0) {1-25,$ff}",
    "Parental Level (b7-b0) {0-255} age",
    "Sec. Audio and Sec. Video Stream Number (b31: disp_v, b30: disp_a, b27-b24: sec. video size, b15-b8: "
    "sec.video, b7-b0: sec.audio",
    "Player Capability for Audio (b15-b14: MLP, b13-b12: DD Lossless, b11-b10: DTS-HD ext., b9-b8: DTS-HD "
    "core, b7-b6: DD+ dep., b5-b4: DD+ ind., b3-b0: LPCM)",
    "Language Code for Audio (b23-b0)",
    "Language code for PG and Text subtitle (b23-b0)",
    "Language Code for Menu (b23-b0)",
    "Country Code (b15-b0)",
    "Region Code (b7-b0) {1,2,4}",
    kReserved, kReserved, kReserved, kReserved, kReserved, kReserved, kReserved, kReserved,
    "Player Capability for Video (b1: 50Hz and 25Hz, b0: HD sec video)",
    "Player Capability for Text Subtitle",
    "Player Profile / Version number (b19-b16: profile {0,1,3,8}, b15-b0: player version {$0200})",
    kReserved, kReserved, kReserved, kReserved,
    "Back-up Register for PSR4",
    "Back-up Register for PSR5",
    "Back-up Register for PSR6",
    "Back-up Register for PSR7",
    "Back-up Register for PSR8",
    kReserved,
    "Back-up Register for PSR10",
    "Back-up Register for PSR11",
    "Back-up Register for PSR12",
};

// "[b]PSR7[/b]: 00000000 (0)"
std::string entry(const char* file, int n, uint32_t v) {
  return "[b]" + std::string(file) + std::to_string(n) + "[/b]: " + core::hexText(v, 8) + " (" +
         std::to_string(v) + ")";
}

}  // namespace

void resetRegisters(Registers& regs, const RegisterOptions& options) {
  regs.gpr.fill(0);
  regs.psr.fill(0);
  auto& p = regs.psr;
  const bool real = options.realPsrs;
  p[0] = 1;
  p[1] = real ? 1 : 0xFF;
  p[2] = real ? 0x0FFF0001u : 0x0FFF0FFFu;
  p[3] = 1;
  p[4] = real ? 0 : 0xFFFF;
  p[5] = real ? 1 : 0xFFFF;
  p[8] = 0xFFFFFFFFu;
  p[10] = 0xFFFF;
  p[12] = 0xFF;
  p[14] = 0xFFFF;
  p[15] = 0xAA;
  p[16] = p[17] = p[18] = 0x656E67;  // "eng", first letter in bits 23-16
  p[29] = 3;
  p[30] = 0x1F0F8;
  p[31] = 0x30200;
  p[43] = 0xFFFF;
  p[48] = p[49] = p[50] = 0xFFFFFFFFu;
  p[61] = 0xFFFF0000u;
  p[19] = options.countryCode;
  // The region items A, B, C are the bits 0, 1, 2 of the region code.
  const int region = options.region >= 0 && options.region <= 2 ? options.region : 0;
  p[20] = 1u << region;
}

std::string_view psrNames(int n) { return n >= 0 && n < kPsrNamed ? kPsrNames[n] : std::string_view{}; }

std::optional<uint32_t> parseCountryCode(std::string_view text) {
  auto v = core::parseHex(text, 4);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::string countryLabel(uint32_t code) {
  std::string s;
  s += static_cast<char>((code >> 8) & 0xFF);
  s += static_cast<char>(code & 0xFF);
  return s;
}

uint32_t clampCountryCode(uint32_t code) {
  if (code < 0x4141) return 0x4141;
  if (code > 0x5A5A) return 0x5A5A;
  return code;
}

std::string countryCodeText(uint32_t code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04x", code & 0xFFFF);
  return buf;
}

std::optional<int> panelRegisterNumber(RegFile file, std::string_view text) {
  // Up to 9 decimal digits keep the conversion within int; anything longer is out
  // of range for either file anyway.
  auto v = core::parseDecimal(text, 9);
  if (!v) return std::nullopt;
  const int n = static_cast<int>(*v);
  const int limit = file == RegFile::Psr ? kPsrCount : kGprCount;
  if (n >= limit) return std::nullopt;
  return n;
}

std::string panelNumberText(RegFile file, int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, file == RegFile::Psr ? "%03d" : "%04d", number);
  return buf;
}

std::string panelValueText(uint32_t value) { return core::hexText(value, 8); }

std::optional<uint32_t> parsePanelValue(std::string_view text) {
  auto v = core::parseHex(text, 8);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::vector<std::string> psrListing(const Registers& regs) {
  std::vector<std::string> lines;
  for (int n = 0; n <= 31; ++n) {
    const uint32_t v = regs.psr[n];
    if (n > 20 && v == 0) continue;
    std::string line = entry("PSR", n, v) + " - ";
    if (psrNames(n) != kReserved) line += psrNames(n);
    lines.push_back(std::move(line));
  }
  std::string line;
  int inLine = 0;
  for (int n = 32; n < kPsrCount; ++n) {
    if (regs.psr[n] == 0) continue;
    line += entry("PSR", n, regs.psr[n]) + "   ";
    if (++inLine == 6) {
      lines.push_back(std::move(line));
      line.clear();
      inLine = 0;
    }
  }
  if (inLine > 0) lines.push_back(std::move(line));
  return lines;
}

std::vector<std::string> gprListing(const Registers& regs) {
  std::vector<std::string> lines;
  std::string line;
  int inLine = 0;
  for (int n = 0; n < kGprCount; ++n) {
    if (regs.gpr[n] == 0) continue;
    line += entry("GPR", n, regs.gpr[n]) + "   ";
    if (++inLine == 5) {
      lines.push_back(std::move(line));
      line.clear();
      inLine = 0;
    }
  }
  if (inLine > 0) lines.push_back(std::move(line));
  return lines;
}

void logPsrs(const Registers& regs, core::Log& log) {
  for (const auto& l : psrListing(regs)) log.info(l);
}

void logGprs(const Registers& regs, core::Log& log) {
  for (const auto& l : gprListing(regs)) log.info(l);
}

}  // namespace morvex::hdmv

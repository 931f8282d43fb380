#pragma once
// The registers of the emulated player: 128 player status registers (PSR) and 4096
// general purpose registers (GPR), 32 bits each. One set serves the interpreter and
// the menu emulator for the whole run; nothing of it is saved to disc.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::core {
class Log;
}

namespace morvex::hdmv {

inline constexpr int kPsrCount = 128;
inline constexpr int kGprCount = 4096;
inline constexpr int kPsrNamed = 45;  // PSR0..PSR44 have a description

struct Registers {
  std::array<uint32_t, kPsrCount> psr{};
  std::array<uint32_t, kGprCount> gpr{};
};

// The three reset options the user sets on the Status page.
struct RegisterOptions {
  bool realPsrs = false;          // "Init PSRs with 'real' values"
  uint32_t countryCode = 0x5553;  // "US"
  int region = 0;                 // 0 "A", 1 "B", 2 "C"
};

// Clears both files, then sets the player's initial values.
void resetRegisters(Registers& regs, const RegisterOptions& options);

// Description of PSR n for n below 45, else empty.
std::string_view psrNames(int n);

// Country code field: hexadecimal digits, at most four. A text that is not
// hexadecimal yields nothing.
std::optional<uint32_t> parseCountryCode(std::string_view text);
// The two letters shown beside the field: high byte, then low byte.
std::string countryLabel(uint32_t code);
// Leaving the field keeps the value within "AA".."ZZ".
uint32_t clampCountryCode(uint32_t code);
// The field's text, in lower case as typed digits are shown.
std::string countryCodeText(uint32_t code);

// Register panel: a number field and a value field for each file.
enum class RegFile : uint8_t { Psr, Gpr };
// The register number a number field names, or nothing when the text is not a
// number of that file (negative, too large, not decimal): the field then becomes 0.
std::optional<int> panelRegisterNumber(RegFile file, std::string_view text);
// The number as shown once the field is left: 3 digits (PSR) or 4 (GPR).
std::string panelNumberText(RegFile file, int number);
// The value field: 8 upper-case hexadecimal digits.
std::string panelValueText(uint32_t value);
// A value typed as hexadecimal (up to 8 digits); nothing when it is not hexadecimal.
std::optional<uint32_t> parsePanelValue(std::string_view text);

// The "PS&Rs" and "&GPRs" listings, one log line each, with their markup.
std::vector<std::string> psrListing(const Registers& regs);
std::vector<std::string> gprListing(const Registers& regs);
void logPsrs(const Registers& regs, core::Log& log);
void logGprs(const Registers& regs, core::Log& log);

}  // namespace morvex::hdmv

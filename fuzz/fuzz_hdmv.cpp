// Random programs through decode, the command text, editing and a bounded run of
// the interpreter on a small menu.
#include <cstddef>
#include <cstdint>

#include "hdmv/command_edit.h"
#include "hdmv/command_text.h"
#include "hdmv/interpreter.h"

using namespace morvex::hdmv;

namespace {

struct TinyMenu : MenuHost {
  int pageCount() const override { return 3; }
  int buttonListLength(int page) const override { return page + 2; }
  bool isButton(int page, int b) const override { return b >= 0 && b < page + 2 && b != 1; }
  int bogOf(int, int b) const override { return b / 2; }
  bool autoAction(int page, int b) const override { return b == 2 && page == 1; }
  CommandList buttonCommands(int, int) const override { return {{0x50400003u, 0, 1}, {0x20810000u, 0, 0}}; }
  bool outEffectsEnabled() const override { return true; }
  bool hasOutEffects(int page) const override { return page == 0; }
  int buttonStateCount() const override { return 4; }
  int stateBog(int slot) const override { return slot / 2; }
};

uint32_t word(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t control = data[0];
  CommandList program;
  for (size_t p = 1; p + 12 <= size && program.size() < 4096; p += 12)
    program.push_back({word(data + p), word(data + p + 4), word(data + p + 8)});

  for (size_t i = 0; i < program.size(); ++i) {
    const DecodedOpcode d = decode(program[i].opcode);
    (void)commandName(d.group, d.subGroup, d.operation);
    (void)comm2str(program[i], static_cast<int>(i), CmdContext::MovieObject);
    (void)comm2str(program[i], static_cast<int>(i), CmdContext::Button);
  }

  Registers regs;
  resetRegisters(regs, {(control & 1) != 0, 0x4141u + control, control % 3});
  Interpreter it(regs);
  TinyMenu menu;
  it.traceBox = (control & 2) != 0;
  it.curLine = static_cast<int32_t>(control >> 4) - 1;
  if (it.executeCommand(program, (control & 4) ? &menu : nullptr)) it.run(20000);
  it.cancel();

  CommandList copy = program;
  CommandList clip;
  const int a = control % 7;
  applyCmdKey(copy, a, a + (control >> 5), static_cast<CmdKey>(control % 7), clip);
  updateGotos(copy, static_cast<int64_t>(control) - 128, static_cast<int64_t>(control & 0xF) - 8);
  (void)programList(copy);
  (void)programBinary(copy);
  return 0;
}

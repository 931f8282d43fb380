// Interpreter throughput in commands per second (items/s), and command text
// rendering speed.
#include <benchmark/benchmark.h>

#include "hdmv/command_text.h"
#include "hdmv/interpreter.h"

using namespace morvex::hdmv;

namespace {

constexpr size_t kBudget = 1 << 20;

void runLoop(benchmark::State& state, const CommandList& program) {
  Registers regs;
  resetRegisters(regs, {});
  Interpreter it(regs);
  it.curLine = 0;
  it.executeCommand(program);
  uint64_t steps = 0;
  for (auto _ : state) {
    const uint64_t before = it.executed();
    it.run(kBudget);
    steps += it.executed() - before;
    it.takeEvents();
  }
  benchmark::DoNotOptimize(regs.gpr[0]);
  state.SetItemsProcessed(static_cast<int64_t>(steps));
}

// Seven Set operations and a GoTo back to the top.
void BM_ArithmeticLoop(benchmark::State& state) {
  runLoop(state, {{0x50400003u, 0, 1},            // Add GPR0, 1
                  {0x50400004u, 1, 7},            // Sub GPR1, 7
                  {0x50400005u, 2, 0x9E3779B9u},  // Mul GPR2, ...
                  {0x5000000Bu, 2, 0},            // Xor GPR2, GPR0
                  {0x50400009u, 3, 0xFFFF},       // And GPR3, 65535
                  {0x5040000Eu, 3, 1},            // Shift Left GPR3, 1
                  {0x50400007u, 4, 97},           // Mod GPR4, 97
                  {0x20810000u, 0, 0}});          // GoTo 0
}
BENCHMARK(BM_ArithmeticLoop);

// A ring of immediate GoTos with a compare in between.
void BM_GoToLoop(benchmark::State& state) {
  runLoop(state, {{0x20810000u, 2, 0},         // GoTo 2
                  {0x20810000u, 0, 0},         // GoTo 0 (skipped target)
                  {0x48400500u, 0, 0},         // GT GPR0, 0: false, skips line 3
                  {0x20810000u, 1, 0},
                  {0x20810000u, 5, 0},         // GoTo 5
                  {0x20810000u, 0, 0}});       // GoTo 0
}
BENCHMARK(BM_GoToLoop);

void BM_Comm2str(benchmark::State& state) {
  const CommandList rows = {{0x50400001u, 0x80000010u, 0x00656E67u}, {0x51000001u, 0x80020005u, 0x00008001u},
                          {0x48400300u, 0x80000004u, 2},           {0x20810000u, 5, 0},
                          {0x22000000u, 1, 0},                     {0x20000000u, 0, 0}};
  size_t n = 0;
  for (auto _ : state) {
    for (size_t i = 0; i < rows.size(); ++i) benchmark::DoNotOptimize(comm2str(rows[i], static_cast<int>(i), CmdContext::MovieObject));
    n += rows.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(n));
}
BENCHMARK(BM_Comm2str);

}  // namespace

BENCHMARK_MAIN();

// disasm --json and run --json, parsed with an independent JSON reader.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/binary.h"
#include "run_cli.h"

namespace fs = std::filesystem;
using namespace morvex;
using test::CliStderr;
using test::runCli;
using test::shellQuote;

namespace {

// Two movie objects with the given commands.
void writeMobj(const fs::path& p, const std::vector<std::vector<std::array<uint32_t, 3>>>& objects) {
  core::ByteWriter body;
  body.addU32(0);
  body.addU16(static_cast<uint32_t>(objects.size()));
  for (const auto& cmds : objects) {
    body.addU16(0x8000);  // resume suspend
    body.addU16(static_cast<uint32_t>(cmds.size()));
    for (const auto& c : cmds)
      for (uint32_t w : c) body.addU32(w);
  }
  core::ByteWriter w;
  w.addString("MOBJ", 4);
  w.addString("0200", 4);
  w.addU32(0);
  w.addZeros(28);
  w.addU32(static_cast<uint32_t>(body.bytes().size()));
  auto b = w.take();
  b.insert(b.end(), body.bytes().begin(), body.bytes().end());
  test::writeFile(p, b);
}

TEST(CliJson, DisasmListsEveryObjectAndCommand) {
  test::TempDir dir;
  const fs::path mobj = dir / "MovieObject.bdmv";
  writeMobj(mobj, {{{0x20810000u, 1, 0}, {0x22800000u, 9, 0}}, {{0xFFFFFFFFu, 0, 0}}});
  auto r = runCli("disasm --json " + shellQuote(mobj), CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["object"], 0);
  EXPECT_EQ(j[0]["resume"], "suspend");
  ASSERT_EQ(j[0]["commands"].size(), 2u);
  EXPECT_EQ(j[0]["commands"][1]["opcode"], "22800000");
  EXPECT_EQ(j[0]["commands"][1]["dst"], "00000009");
  EXPECT_NE(j[0]["commands"][1]["text"].get<std::string>().find("Play PL 9"), std::string::npos);
  EXPECT_EQ(j[1]["commands"][0]["valid"], false);
  // One object only; --format bin and --json together are a usage error.
  r = runCli("disasm --json --object 1 " + shellQuote(mobj), CliStderr::Separate);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(nlohmann::json::parse(r.out).size(), 1u);
  EXPECT_EQ(nlohmann::json::parse(r.out)[0]["object"], 1);
  EXPECT_EQ(runCli("disasm --json --format bin --object 0 " + shellQuote(mobj), CliStderr::Separate).status, 2);
  EXPECT_EQ(runCli("disasm --json --object 5 " + shellQuote(mobj), CliStderr::Separate).status, 1);
}

TEST(CliJson, RunGivesEventsInOrderAndChangedRegisters) {
  test::TempDir dir;
  const fs::path mobj = dir / "MovieObject.bdmv";
  writeMobj(mobj, {{{0x50000003u, 7, 8},    // Add GPR7, GPR8
                    {0x48400500u, 7, 10},   // GT GPR7, 10
                    {0x21810000u, 3, 0},    // Jump Title 3
                    {0x22800000u, 9, 0}}}); // Play PL 9
  auto r = runCli("run --json --trace " + shellQuote(mobj) + " --object 0 --set GPR7=5 --set GPR8=0x10",
                  CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["stopped"], false);
  std::vector<std::string> events;
  for (const auto& e : j["events"])
    events.push_back(e["kind"].get<std::string>() + (e.contains("line") ? " " + std::to_string(e["line"].get<int>()) : "") +
                     ": " + e["text"].get<std::string>());
  ASSERT_EQ(events.size(), 4u) << r.out;
  EXPECT_EQ(events[0].rfind("trace 0: Line 0000", 0), 0u) << events[0];
  EXPECT_EQ(events[1].rfind("trace 1: ", 0), 0u) << events[1];
  EXPECT_EQ(events[2].rfind("trace 2: ", 0), 0u) << events[2];
  EXPECT_EQ(events[3], "report: Jump Title 3");
  ASSERT_EQ(j["changed"].size(), 2u);
  EXPECT_EQ(j["changed"][0]["register"], "PSR4");
  EXPECT_EQ(j["changed"][0]["after"], 3);
  EXPECT_EQ(j["changed"][1]["register"], "GPR7");
  EXPECT_EQ(j["changed"][1]["before"], 5);
  EXPECT_EQ(j["changed"][1]["after"], 21);

  // An endless loop stops at the budget and says where.
  writeMobj(mobj, {{{0x50400003u, 1, 1}, {0x20810000u, 0, 0}}});
  r = runCli("run --json " + shellQuote(mobj) + " --object 0 --max-steps 11", CliStderr::Separate);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto k = nlohmann::json::parse(r.out);
  EXPECT_EQ(k["stopped"], true);
  EXPECT_EQ(k["steps"], 11);
  EXPECT_EQ(k["changed"][0]["after"], 6);
}

}  // namespace

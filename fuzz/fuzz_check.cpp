// The disc checker over a whole folder: a generated, consistent disc in which the
// input replaces one file (first byte: which) or patches bytes of one (every further
// triple: position high, position low, value). No crash, no hang, and a finding list
// that names a file for every finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "check/checker.h"
#include "support/sample_disc.h"

namespace fs = std::filesystem;

namespace {

const fs::path& base() {
  static const fs::path dir = [] {
    fs::path d = fs::temp_directory_path() / ("morvex-fuzz-check-" + std::to_string(::getpid()));
    fs::remove_all(d);
    morvex::test::writeSampleDisc(d / "base" / "BDMV", 3, 2);
    return d;
  }();
  return dir;
}

const char* kFiles[] = {"index.bdmv",         "MovieObject.bdmv",   "PLAYLIST/00000.mpls",   "PLAYLIST/00001.mpls",
                        "CLIPINF/00000.clpi", "CLIPINF/00001.clpi", "BACKUP/index.bdmv",     "BDJO/00000.bdjo",
                        "AUXDATA/sound.bdmv", "STREAM/00000.m2ts"};

std::vector<uint8_t> readAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const fs::path work = base() / "work";
  fs::remove_all(work);
  fs::copy(base() / "base", work, fs::copy_options::recursive);
  const fs::path bdmv = work / "BDMV";
  const size_t which = data[0] % std::size(kFiles);
  const fs::path target = bdmv / kFiles[which];
  std::vector<uint8_t> bytes;
  if (data[0] & 0x80) {
    bytes.assign(data + 1, data + size);  // replace the file
  } else {
    bytes = readAll(target);  // patch it
    for (size_t i = 1; i + 2 < size && !bytes.empty(); i += 3)
      bytes[(size_t(data[i]) << 8 | data[i + 1]) % bytes.size()] = data[i + 2];
  }
  {
    std::ofstream f(target, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const auto report = morvex::check::checkDisc(bdmv);
  if (!report.checked) return 0;
  for (const auto& f : report.findings)
    if (f.file.empty() || f.code.empty()) __builtin_trap();
  return 0;
}

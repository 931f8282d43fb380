#pragma once
// The check every command that writes a file of another kind than it reads makes
// before writing: the output must not be one of the inputs, by whatever name.
#include <filesystem>
#include <initializer_list>

namespace morvex::cli {

// True, after "morvex-cli: <output>: the output file is <input>, which is being read"
// and exit status 1, when `output` is the same file (device and inode) as one of
// `inputs`; false when writing may go ahead.
bool outputIsAnInput(const std::filesystem::path& output, std::initializer_list<std::filesystem::path> inputs);

}  // namespace morvex::cli

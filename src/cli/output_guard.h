#pragma once
// Where a command's output may go. Every file a command reads is noted (the command
// line turns the engine's input tracking on), and every output is written through the
// engine's atomic writer, which refuses to replace a noted input. A command that edits
// a file of one kind into a file of the same kind may write over its input: the
// original is then kept as "<name>.backup" first, by the rule "only the first backup"
// (an older backup stays as it is).
#include <filesystem>
#include <initializer_list>
#include <string>

#include "core/binary.h"

namespace morvex::cli {

// True, after "morvex-cli: <output>: the output file is <input>, which is being read"
// and exit status 1, when `output` is the same file (device and inode) as one of
// `inputs`; false when writing may go ahead.
bool outputIsAnInput(const std::filesystem::path& output, std::initializer_list<std::filesystem::path> inputs);

// The command edits `input` into a file of the same kind: an output that is the input
// replaces it, after the backup.
void allowInPlace(const std::filesystem::path& input);

// Writes a command's output file ("-", a device or a FIFO as a stream). On failure
// returns false with the reason in `error`.
bool writeCommandOutput(const std::filesystem::path& output, const core::Bytes& bytes, std::string& error);

}  // namespace morvex::cli

#pragma once
// A generated disc folder of any size, consistent in every reference: index titles
// play movie objects, each movie object plays one playlist, each playlist plays one
// clip from start to end with one chapter mark. For the checker's benchmarks and
// fuzzing, and as a clean starting point for tests.
#include <filesystem>

namespace morvex::test {

// Writes index.bdmv, MovieObject.bdmv, their BACKUP copies, `playlists` playlists and
// `clips` clip-information files (no stream files) into `bdmvFolder`. Returns false
// when a file could not be written.
bool writeSampleDisc(const std::filesystem::path& bdmvFolder, size_t playlists, size_t clips);

}  // namespace morvex::test

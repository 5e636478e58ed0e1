// Makes the fuzzer's inputs from the seed files in tests/fuzz-seeds: each input is a seed
// changed the way its reader understands it (lines, markers, escapes, keys and values, the
// envelope's fields), then encoded and sometimes damaged byte by byte. The same run seed and
// index always give the same input.
#pragma once

#include "fuzz/FuzzCase.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class FuzzGenerator {
public:
    // Reads every file of the folder's sub-folders items/, settings/, envelope/, filter/ and
    // clipboard/. False, with what is missing, when a sub-folder has no file.
    bool LoadSeeds(const std::wstring& folder, std::string& problem);

    // How often an input of the history and template files, and of settings.ini, also goes
    // through the real files (one in `every`); the others are checked in memory only.
    void SetFileRates(unsigned itemsEvery, unsigned settingsEvery);

    FuzzCase Make(uint64_t runSeed, uint64_t index);

private:
    std::array<std::vector<std::string>, std::size(kFuzzTargets)> seeds_;
    // Each round trip through the files flushes them to disk, some milliseconds each.
    unsigned itemsFileEvery_ = 4;
    unsigned settingsFileEvery_ = 8;
};

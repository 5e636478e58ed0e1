// What every fuzz input is checked for, beyond not crashing (which the driver watches): the
// reader's own promises, and wherever the program writes what it reads (the history and
// template files, settings.ini, the envelope), that writing and reading again gives the same
// entries after the writers' documented normalisation.
#pragma once

#include "crypto/Cng.h"
#include "fuzz/FuzzCase.h"

#include <cstdint>
#include <memory>
#include <string>

// The password of the fuzzer's sealed files.
inline constexpr wchar_t kFuzzPassword[] = L"fuzz";

// What the checks need in force while they run, for the life of the object: CNG with a key
// derivation of one round in place of 100,000 (under Wine every open that gets past the field
// checks would otherwise cost a tenth of a second) and a random generator seeded from each
// input, so that an input does the same every time it is run.
class FuzzEnvironment {
public:
    FuzzEnvironment();
    ~FuzzEnvironment();
    FuzzEnvironment(const FuzzEnvironment&) = delete;
    FuzzEnvironment& operator=(const FuzzEnvironment&) = delete;

    // False when CNG could not be loaded from the system folder.
    bool Ready() const { return override_ != nullptr; }

private:
    std::unique_ptr<cng::ScopedOverride> override_;
};

// Seeds the random generator of a FuzzEnvironment (salts and IVs of what the fuzzer seals).
void SeedFuzzRandom(uint64_t seed);

// Runs one input through its reader: "" when every check holds, otherwise what failed.
// Inputs of the Items and Settings targets use the data files beside the executable.
std::string CheckCase(const FuzzCase& input);

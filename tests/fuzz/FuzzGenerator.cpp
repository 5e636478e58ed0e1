#include "fuzz/FuzzGenerator.h"

#include "fuzz/FuzzInputs.h"

#include "TestSupport.h"

#include <windows.h>

#include <algorithm>

namespace {

// The files of a folder in the order of their names, so that a run seed gives the same inputs
// on every machine.
std::vector<std::string> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    std::vector<std::string> files;
    for (const std::wstring& name : names)
        files.push_back(FileBytes(folder + L"\\" + name));
    return files;
}

} // namespace

bool FuzzGenerator::LoadSeeds(const std::wstring& folder, std::string& problem) {
    for (FuzzTarget target : kFuzzTargets) {
        const std::string name = TargetName(target);
        seeds_[static_cast<size_t>(target)] = FilesIn(folder + L"\\" + std::wstring(name.begin(), name.end()));
        if (seeds_[static_cast<size_t>(target)].empty()) {
            problem = "no seed files in " + name + "/";
            return false;
        }
    }
    return true;
}

void FuzzGenerator::SetFileRates(unsigned itemsEvery, unsigned settingsEvery) {
    itemsFileEvery_ = std::max(itemsEvery, 1u);
    settingsFileEvery_ = std::max(settingsEvery, 1u);
}

FuzzCase FuzzGenerator::Make(uint64_t runSeed, uint64_t index) {
    Rng rng(runSeed * 0x2545F4914F6CDD1Dull ^ (index + 1) * 0x9E3779B97F4A7C15ull);
    // Filter and clipboard inputs are cheap, the file round trips dearest: all get about the same share.
    const FuzzTarget target = kFuzzTargets[rng.Below(std::size(kFuzzTargets))];
    const std::vector<std::string>& seeds = seeds_[static_cast<size_t>(target)];
    switch (target) {
    case FuzzTarget::Items: {
        ItemsOptions options;
        options.kind = static_cast<ItemFileKind>(rng.Below(4));
        const int32_t limits[] = {-5, 0, 1, 2, 3, 10, 100, 100, 2147483647};
        options.maxHistory = rng.Pick(limits);
        options.throughFiles = rng.OneIn(itemsFileEvery_);
        return FuzzCase{target, {ItemsOptionsPart(options), ItemFileBytes(rng, seeds)}};
    }
    case FuzzTarget::Settings:
        return FuzzCase{target,
                        {SettingsBytes(rng, seeds), std::string(1, rng.OneIn(settingsFileEvery_) ? '\1' : '\0')}};
    case FuzzTarget::Envelope:
        return EnvelopeCase(rng, seeds);
    case FuzzTarget::Filter:
        return FilterCase(rng, seeds);
    case FuzzTarget::Clipboard:
        return ClipboardCase(rng, seeds);
    }
    return FuzzCase{};
}

// The fuzz driver, run under Wine by scripts/fuzz.sh:
//
//   nomaclip_fuzz --seeds DIR --failures DIR --from A --to B [--seed S] [--files-every I,S]
//       runs the inputs A to B-1 of the run seed S; prints "failure <index> <target>: <what>"
//       for each failing input (saved to the failures folder as <target>-<S>-<index>.bin with a
//       .txt beside it), and ends with "finished <count>" or, after a crash or a hang, with
//       "stopped <index>" (exit status 3): the script starts it again after that input.
//       --files-every I,S: one in I history and template inputs, and one in S settings inputs,
//       also go through the real files (by default 4 and 8).
//   nomaclip_fuzz --replay FILE...
//       runs saved inputs again; exit status 1 when any fails.
//
// An input fails when a check does not hold, when it takes more than a second (twice: a busy
// machine is not a hang), or when it crashes: a trap of the checked build, a failed assertion,
// an access violation, an exception nobody caught.
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzGenerator.h"

#include "TestSupport.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>

namespace {

constexpr double kSlowSeconds = 1.0;
constexpr double kHangSeconds = 20.0; // then the process is ended: the input never finished
constexpr int kStoppedExit = 3;
constexpr uint64_t kProgressEvery = 50000;

double NowSeconds() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency;
}

// Paths, target names and numbers: ASCII.
std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The input under way, for the handlers that report a crash or a hang.
struct Current {
    std::atomic<const FuzzCase*> input{nullptr};
    std::atomic<uint64_t> index{0};
    std::atomic<double> started{0};
    std::atomic<bool> reporting{false};
};
Current g_current;
std::wstring g_failures;
uint64_t g_runSeed = 1;

void SaveFailure(const FuzzCase& input, uint64_t index, const std::string& what) {
    CreateDirectoryW(g_failures.c_str(), nullptr);
    const std::wstring base = g_failures + L"\\" + Wide(TargetName(input.target)) + L"-" + std::to_wstring(g_runSeed) +
                              L"-" + std::to_wstring(index);
    PutFile(base + L".bin", SerializeParts(input.parts));
    std::string report = what + "\r\n";
    for (size_t i = 0; i < input.parts.size(); ++i)
        report += "part " + std::to_string(i) + ": " + Escaped(input.parts[i], 2000) + "\r\n";
    PutFile(base + L".txt", report);
}

void ReportFailure(const FuzzCase& input, uint64_t index, const std::string& what) {
    SaveFailure(input, index, what);
    // The checks describe what failed in ASCII, bytes and texts already escaped.
    printf("failure %llu %s: %s\n", static_cast<unsigned long long>(index), TargetName(input.target),
           what.substr(0, 600).c_str());
    fflush(stdout);
}

// Reports the input under way and ends the process; the script goes on after it.
[[noreturn]] void Stop(const std::string& what) {
    if (!g_current.reporting.exchange(true)) {
        const uint64_t index = g_current.index.load();
        if (const FuzzCase* input = g_current.input.load())
            ReportFailure(*input, index, what);
        else // the fuzzer's own fault, while making the input: nothing to save, but it counts
            printf("failure %llu (making the input): %s\n", static_cast<unsigned long long>(index), what.c_str());
        printf("stopped %llu\n", static_cast<unsigned long long>(index));
        fflush(stdout);
    }
    TerminateProcess(GetCurrentProcess(), kStoppedExit);
    std::abort(); // not reached
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    char what[96];
    snprintf(what, sizeof(what), "crash: exception 0x%08lX at %p",
             static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode), info->ExceptionRecord->ExceptionAddress);
    Stop(what); // an illegal instruction is the checked build's trap
}

void OnAbort(int) {
    Stop("abort (a failed assertion of the standard library prints its line above)");
}

void OnTerminate() {
    std::string what = "an exception nobody caught";
    if (std::exception_ptr e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& error) {
            what += std::string(": ") + error.what();
        } catch (...) {
        }
    }
    Stop(what);
}

void WatchForHangs() {
    for (;;) {
        Sleep(250);
        const double started = g_current.started.load();
        if (started > 0 && NowSeconds() - started > kHangSeconds)
            Stop("hang: still running after " + std::to_string(static_cast<int>(kHangSeconds)) + " s");
    }
}

// The longest a passing input of each target took, in seconds.
double g_slowest[std::size(kFuzzTargets)] = {};

// Runs the check, timing it; a slow input is run again before it counts as one.
std::string TimedCheck(const FuzzCase& input) {
    double seconds[2] = {};
    for (double& taken : seconds) {
        g_current.started.store(NowSeconds());
        const std::string problem = CheckCase(input);
        taken = NowSeconds() - g_current.started.load();
        g_current.started.store(0);
        if (!problem.empty())
            return problem;
        if (taken <= kSlowSeconds) {
            double& slowest = g_slowest[static_cast<size_t>(input.target)];
            slowest = std::max(slowest, taken);
            return "";
        }
    }
    char what[96];
    snprintf(what, sizeof(what), "slow: took %.2f s, and %.2f s again", seconds[0], seconds[1]);
    return what;
}

int Replay(int argc, wchar_t** argv) {
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        const std::wstring path = argv[i];
        const size_t slash = path.find_last_of(L"\\/");
        const std::wstring file = slash == std::wstring::npos ? path : path.substr(slash + 1);
        FuzzCase input;
        if (!TargetFromName(Narrow(file.substr(0, file.find(L'-'))), input.target)) {
            printf("%s: no target of that name\n", Narrow(file).c_str());
            ++failed;
            continue;
        }
        input.parts = ParseParts(FileBytes(path));
        const std::string problem = TimedCheck(input);
        printf("%s: %s\n", Narrow(file).c_str(), problem.empty() ? "passes" : Escaped(problem, 2000).c_str());
        failed += problem.empty() ? 0 : 1;
    }
    return failed ? 1 : 0;
}

bool ParseRange(std::wstring_view text, unsigned& first, unsigned& second) {
    return swscanf(std::wstring(text).c_str(), L"%u,%u", &first, &second) == 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY); // lines end in LF for the script that reads them
    SetUnhandledExceptionFilter(OnCrash);
    signal(SIGABRT, OnAbort);
    std::set_terminate(OnTerminate);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    FuzzEnvironment environment;
    if (!environment.Ready()) {
        printf("CNG could not be loaded\n");
        return 2;
    }
    if (argc >= 2 && std::wstring(argv[1]) == L"--replay")
        return Replay(argc, argv);

    std::wstring seedFolder;
    uint64_t from = 0, to = 0;
    unsigned itemsEvery = 0, settingsEvery = 0; // the generator's own rates unless given
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring option = argv[i];
        const std::wstring value = argv[i + 1];
        if (option == L"--seeds")
            seedFolder = value;
        else if (option == L"--failures")
            g_failures = value;
        else if (option == L"--from")
            from = _wcstoui64(value.c_str(), nullptr, 10);
        else if (option == L"--to")
            to = _wcstoui64(value.c_str(), nullptr, 10);
        else if (option == L"--seed")
            g_runSeed = _wcstoui64(value.c_str(), nullptr, 10);
        else if (option != L"--files-every" || !ParseRange(value, itemsEvery, settingsEvery)) {
            printf("unknown option or value: %s\n", Narrow(option).c_str());
            return 2;
        }
    }
    FuzzGenerator generator;
    std::string problem;
    if (seedFolder.empty() || g_failures.empty() || !generator.LoadSeeds(seedFolder, problem)) {
        printf("usage: nomaclip_fuzz --seeds DIR --failures DIR --from A --to B [--seed S] [--files-every I,S]\n%s\n",
               problem.c_str());
        return 2;
    }
    if (itemsEvery > 0)
        generator.SetFileRates(itemsEvery, settingsEvery);

    std::thread(WatchForHangs).detach();
    for (uint64_t index = from; index < to; ++index) {
        g_current.index.store(index);
        const FuzzCase input = generator.Make(g_runSeed, index);
        g_current.input.store(&input);
        const std::string what = TimedCheck(input);
        if (!what.empty())
            ReportFailure(input, index, what);
        g_current.input.store(nullptr);
        if ((index + 1) % kProgressEvery == 0) {
            printf("checked %llu\n", static_cast<unsigned long long>(index + 1));
            fflush(stdout);
        }
    }
    printf("slowest input by reader:");
    for (FuzzTarget target : kFuzzTargets)
        printf(" %s %.0f ms", TargetName(target), 1000 * g_slowest[static_cast<size_t>(target)]);
    printf("\nfinished %llu\n", static_cast<unsigned long long>(to > from ? to - from : 0));
    fflush(stdout);
    return 0;
}

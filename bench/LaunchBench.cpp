// Times command lines inside Windows (or Wine): each is started and waited for `runs` times,
// alternating between them so that both see the same machine state. Prints the median time of
// each with its quartiles, the ratio of every later median to the first, and each command's
// paired ratios against the commands before it. With --remove, the files that match the pattern
// (environment references expanded) are deleted after every run, outside the timed span, so that
// each run finds the folder as the first did.
//   LaunchBench RUNS [--remove PATTERN] "command line 1" "command line 2" ...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Run {
    double ms = -1;
    DWORD exitCode = 0;
};

Run runOnce(const std::wstring& commandLine) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
        return {};
    WaitForSingleObject(info.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    Run run;
    if (!GetExitCodeProcess(info.hProcess, &run.exitCode))
        run.exitCode = GetLastError() ? GetLastError() : 1; // unknown is never success
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    run.ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
             static_cast<double>(frequency.QuadPart);
    return run;
}

// The value below which the given share of the times fall (0.5: the median).
double quantile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

// Deletes the files that match `pattern`, a path whose last part may hold wildcards.
void removeMatching(const std::wstring& pattern) {
    if (pattern.empty())
        return;
    wchar_t expanded[MAX_PATH];
    const DWORD length = ExpandEnvironmentStringsW(pattern.c_str(), expanded, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return;
    std::wstring folder(expanded);
    folder.erase(folder.find_last_of(L'\\') + 1);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(expanded, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileW((folder + found.cFileName).c_str());
    while (FindNextFileW(search, &found));
    FindClose(search);
}

// The median of the run-by-run ratios of two commands timed in the same rounds.
double pairedRatio(const std::vector<double>& times, const std::vector<double>& against) {
    std::vector<double> ratios;
    for (size_t run = 0; run < times.size(); ++run)
        ratios.push_back(times[run] / against[run]);
    return quantile(ratios, 0.5);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const int runs = _wtoi(argv[1]);
    if (runs < 1)
        return 2;
    int first = 2;
    std::wstring remove;
    if (argc > 4 && std::wstring(argv[2]) == L"--remove") {
        remove = argv[3];
        first = 4;
    }
    wchar_t** commands = argv + first;
    std::vector<std::vector<double>> times(static_cast<size_t>(argc - first));
    // Runs that did not exit with 0 are timed like the others but counted, since a launch that
    // failed half-way says nothing about the cost of one that did its work.
    std::vector<int> failures(times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        runOnce(commands[i]); // warm-up
        removeMatching(remove);
    }
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < times.size(); ++i) {
            const Run timed = runOnce(commands[i]);
            removeMatching(remove);
            if (timed.ms < 0) {
                std::fwprintf(stderr, L"cannot start: %ls\n", commands[i]);
                return 1;
            }
            if (timed.exitCode != 0) {
                ++failures[i];
                std::fwprintf(stderr, L"run %d of command %zu exited with %lu\n", run + 1, i + 1,
                              timed.exitCode);
            }
            times[i].push_back(timed.ms);
        }
    }
    // The quartiles show how widely the runs spread, which says how far the ratio can be trusted.
    // The paired ratios are the medians of each run's time over the time of an earlier command in
    // the same round, against each earlier command in turn: runs milliseconds apart share the
    // machine's state, so where the machine drifts over the benchmark's minutes they stay steadier
    // than the ratio of the medians.
    const double base = quantile(times[0], 0.5);
    for (size_t i = 0; i < times.size(); ++i) {
        const double m = quantile(times[i], 0.5);
        std::wprintf(L"median %8.2f ms  ratio %.3f  (quartiles %.2f %.2f)  %ls\n", m, m / base,
                     quantile(times[i], 0.25), quantile(times[i], 0.75), commands[i]);
        if (failures[i] > 0)
            std::wprintf(L"    %d of %d runs exited with an error\n", failures[i], runs);
        for (size_t earlier = 0; earlier < i; ++earlier)
            std::wprintf(L"    paired ratio %.3f against command %zu\n",
                         pairedRatio(times[i], times[earlier]), earlier + 1);
    }
    return 0;
}

// Times command lines inside Windows (or Wine): each is started and waited for `runs` times,
// alternating between them so that both see the same machine state. Prints the median time of
// each with its quartiles, and the ratio of every later median to the first.
//   LaunchBench RUNS "command line 1" "command line 2" ...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double runOnce(const std::wstring& commandLine) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// The value below which the given share of the times fall (0.5: the median).
double quantile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5)];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const int runs = _wtoi(argv[1]);
    if (runs < 1)
        return 2;
    std::vector<std::vector<double>> times(static_cast<size_t>(argc - 2));
    for (size_t i = 0; i < times.size(); ++i)
        runOnce(argv[i + 2]); // warm-up
    for (int run = 0; run < runs; ++run) {
        for (size_t i = 0; i < times.size(); ++i) {
            const double ms = runOnce(argv[i + 2]);
            if (ms < 0) {
                std::fwprintf(stderr, L"cannot start: %ls\n", argv[i + 2]);
                return 1;
            }
            times[i].push_back(ms);
        }
    }
    // The quartiles show how widely the runs spread, which says how far the ratio can be trusted.
    const double base = quantile(times[0], 0.5);
    for (size_t i = 0; i < times.size(); ++i) {
        const double m = quantile(times[i], 0.5);
        std::wprintf(L"median %8.2f ms  ratio %.3f  (quartiles %.2f %.2f)  %ls\n", m, m / base,
                     quantile(times[i], 0.25), quantile(times[i], 0.75), argv[i + 2]);
    }
    return 0;
}

// Times command lines inside Windows (or Wine): each is started and waited for `runs` times,
// alternating between them so that both see the same machine state. Prints the median time of
// each and the ratio of every later one to the first.
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 2;
    const int runs = _wtoi(argv[1]);
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
    const double base = median(times[0]);
    for (size_t i = 0; i < times.size(); ++i) {
        const double m = median(times[i]);
        std::wprintf(L"median %8.2f ms  ratio %.3f  %ls\n", m, m / base, argv[i + 2]);
    }
    return 0;
}

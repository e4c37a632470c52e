#include "VmJob.h"

#include "Text.h"
#include "Trace.h"

namespace tarrow {

namespace {
// How long terminate() waits for the ended processes to be gone, and how often it looks.
constexpr ULONGLONG kEndWaitMs = 2000;
constexpr DWORD kEndPollMs = 10;
// How many of the job's processes are looked at one by one.
constexpr DWORD kListedProcesses = 32;

bool isConsoleHost(DWORD processId) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t image[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &length))
        return false;
    const std::wstring path(image, length);
    return equalsIgnoreCase(path.substr(path.find_last_of(L'\\') + 1), L"conhost.exe");
}

} // namespace

VmJob VmJob::create() {
    VmJob job(CreateJobObjectW(nullptr, nullptr));
    if (!job) {
        trace(L"job not created (error " + decimal(GetLastError()) +
              L"): the VM runs outside a job");
        return job;
    }
    if (!job.setLimits(JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK)) {
        trace(L"job limits not set (error " + decimal(GetLastError()) +
              L"): the VM runs outside a job");
        return VmJob();
    }
    trace(L"job created: it ends the VM and every process it starts when the launcher ends");
    return job;
}

bool VmJob::setLimits(DWORD flags) const {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = flags;
    return SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits) != FALSE;
}

bool VmJob::assign(HANDLE process) const {
    if (!job_)
        return false;
    if (AssignProcessToJobObject(job_.get(), process)) {
        trace(L"VM joined the job");
        return true;
    }
    trace(L"process not added to the job (error " + decimal(GetLastError()) +
          L"): it runs outside a job");
    return false;
}

void VmJob::keepProcessesOnClose() const {
    if (!job_)
        return;
    if (setLimits(JOB_OBJECT_LIMIT_BREAKAWAY_OK))
        trace(L"job kill-on-close lifted: what the VM started keeps running");
    else
        trace(L"job kill-on-close not lifted (error " + decimal(GetLastError()) + L")");
}

bool VmJob::hasRunningProcesses() const {
    return static_cast<bool>(runningProcess());
}

std::optional<DWORD> VmJob::runningProcess() const {
    if (!job_)
        return std::nullopt;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr) ||
        accounting.ActiveProcesses == 0)
        return std::nullopt;
    // A VM without a console to share gets one of its own, whose host process joins the job and
    // ends by itself a moment after the VM: only other processes count.
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST list;
        ULONG_PTR more[kListedProcesses - 1];
    } ids = {};
    ids.list.NumberOfAssignedProcesses = kListedProcesses;
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicProcessIdList, &ids, sizeof ids,
                                   nullptr) ||
        ids.list.NumberOfProcessIdsInList < accounting.ActiveProcesses)
        return kUnlistedProcess;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
        const auto id = static_cast<DWORD>(ids.list.ProcessIdList[i]);
        if (!isConsoleHost(id))
            return id;
    }
    return std::nullopt;
}

void VmJob::terminate(UINT exitCode) const {
    if (!job_ || !TerminateJobObject(job_.get(), exitCode))
        return;
    // Each process ends a moment after it was told to; what follows (removing the files they
    // held) needs them gone.
    const ULONGLONG deadline = GetTickCount64() + kEndWaitMs;
    while (hasRunningProcesses() && GetTickCount64() < deadline)
        Sleep(kEndPollMs);
}

} // namespace tarrow

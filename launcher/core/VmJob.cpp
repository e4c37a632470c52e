#include "VmJob.h"

#include "Text.h"
#include "Trace.h"

namespace tarrow {

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
    if (!job_)
        return false;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr))
        return false;
    return accounting.ActiveProcesses > 0;
}

void VmJob::terminate(UINT exitCode) const {
    if (job_)
        TerminateJobObject(job_.get(), exitCode);
}

} // namespace tarrow

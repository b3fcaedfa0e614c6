// Stand-in for the product's task library: it enumerates the job numbers listed in
// qeltask.ini beside it and records every call in qeltask.log. A build with
// LEAVE_OUT_<export> lacks that export, for the callers' missing-export paths; one with
// FAULT_IN_JOB_FindNextJob logs "JOB_FindNextJob faults" and faults there.
#include "product/common/CallLog.h"
#include "product/common/Fault.h"

namespace {

HMODULE self = NULL;
const int kMaxJobs = 64;

void Log(const standin::Line& line)
{
    char path[MAX_PATH];
    if (standin::BesidePath(self, "qeltask.log", path, sizeof path)) line.AppendTo(path);
}

// [qeltask] Jobs=<n>,<n>,...: the numbers the enumeration hands out, in order; after the
// last one it answers 0. Fills at most kMaxJobs numbers and returns how many.
int ReadJobs(long* jobs)
{
    char path[MAX_PATH];
    char text[512];
    if (!standin::BesidePath(self, "qeltask.ini", path, sizeof path)) return 0;
    GetPrivateProfileStringA("qeltask", "Jobs", "", text, sizeof text, path);
    int count = 0;
    const char* p = text;
    while (*p && count < kMaxJobs) {
        while (*p == ',' || *p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        bool negative = *p == '-';
        if (negative) ++p;
        long value = 0;
        while (*p >= '0' && *p <= '9' && value < 100000000) value = value * 10 + (*p++ - '0');
        while (*p && *p != ',') ++p;  // anything else up to the next comma is ignored
        jobs[count++] = negative ? -value : value;
    }
    return count;
}

// The job at `index` (0-based) of the list, or 0 past its end; moves the cursor past it.
int JobAt(int* cursor, int index)
{
    long jobs[kMaxJobs];
    int count = ReadJobs(jobs);
    if (cursor) *cursor = index + 1;
    return index >= 0 && index < count ? static_cast<int>(jobs[index]) : 0;
}

standin::Line& Cursor(standin::Line& line, const int* cursor)
{
    return cursor ? line.Number(*cursor) : line.Text("(null)");
}

}  // namespace

#ifndef LEAVE_OUT_JOB_FindFirstJob
// The cursor holds the 0-based index of the next job once the enumeration has begun.
extern "C" int WINAPI JOB_FindFirstJob(int* cursor)
{
    standin::Line line;
    Cursor(line.Text("JOB_FindFirstJob("), cursor).Text(") = ");
    int job = cursor ? JobAt(cursor, 0) : 0;
    Log(line.Number(job));
    return job;
}
#endif

#ifndef LEAVE_OUT_JOB_FindNextJob
extern "C" int WINAPI JOB_FindNextJob(int* cursor)
{
#ifdef FAULT_IN_JOB_FindNextJob
    Log(standin::Line().Text("JOB_FindNextJob faults"));
    standin::WriteThroughNull();
#endif
    standin::Line line;
    Cursor(line.Text("JOB_FindNextJob("), cursor).Text(") = ");
    int job = cursor ? JobAt(cursor, *cursor) : 0;
    Log(line.Number(job));
    return job;
}
#endif

#ifndef LEAVE_OUT_JOB_DeleteJob
extern "C" int WINAPI JOB_DeleteJob(int job)
{
    Log(standin::Line().Text("JOB_DeleteJob(").Number(job).Text(")"));
    return 1;
}
#endif

#ifndef LEAVE_OUT_JOB_FindJobEnd
extern "C" int WINAPI JOB_FindJobEnd(int reserved)
{
    Log(standin::Line().Text("JOB_FindJobEnd(").Number(reserved).Text(")"));
    return 1;
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

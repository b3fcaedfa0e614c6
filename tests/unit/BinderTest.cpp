// The one binder of the functions bound at run time: what it finds on this system, and how the
// test variant's list makes a function absent or failing (the variant itself runs end to end).
#include "base/Binder.h"
#include <gtest/gtest.h>

namespace {

TEST(Binder, ListsMakeFunctionsAbsentOrFailing)
{
    struct Row {
        const char* list;
        const char* name;
        int requested;  // 0 not named, 1 absent, 2 failing
    } rows[] = {
        {"", "GetLongPathNameA", 0},
        {"GetLongPathNameA", "GetLongPathNameA", 1},
        {"GetLongPathNameA,QueryDosDeviceA!", "QueryDosDeviceA", 2},
        {"GetLongPathName", "GetLongPathNameA", 0},   // whole names only
        {"GetLongPathNameAX", "GetLongPathNameA", 0},
        {",,GetLongPathNameA,", "GetLongPathNameA", 1},
        {"win95", "GetLongPathNameA", 1},             // Windows 95 RTM has no long forms
        {"win95", "QueryDosDeviceA", 2},              // and only a stub for drive mappings
        {"win95", "GetFileVersionInfoA", 0},          // version.dll is there
        {"win98", "GetLongPathNameA", 0},
        {"win98", "SfcIsFileProtected", 1},
        {"win98,GetLongPathNameA!", "GetLongPathNameA", 2},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(rows[i].requested, AbsenceRequested(rows[i].list, rows[i].name)) << "row " << i;
}

TEST(Binder, BindsWhatThisSystemHasOnce)
{
    // Wine has every one of these but sfc's and the runtime's, whatever the Windows version set.
    for (BoundFunction function : {BoundFunction::kGetLongPathNameA, BoundFunction::kQueryDosDeviceA,
                                   BoundFunction::kGetFileVersionInfoSizeA, BoundFunction::kGetFileVersionInfoA,
                                   BoundFunction::kVerQueryValueA}) {
        void* address = Bind(function);
        EXPECT_NE(nullptr, address) << BoundFunctionName(function);
        EXPECT_EQ(address, Bind(function)) << BoundFunctionName(function);
    }
    EXPECT_EQ(nullptr, Bind(BoundFunction::kCount));
    EXPECT_EQ(nullptr, BindExport(GetModuleHandleA("kernel32.dll"), "NoSuchFunctionAnywhere"));
    EXPECT_NE(nullptr, BindExport(GetModuleHandleA("kernel32.dll"), "GetVersion"));
}

}  // namespace

// Stand-in for the product's subscription library: it answers whether Internet Explorer 4
// counts as installed (qelsubs.ini beside it) and records every call in qelsubs.log.
// A build with LEAVE_OUT_<export> lacks that export, for the callers' missing-export paths; one
// with FAULT_IN_<export> logs "<export> faults" and faults in it, after logging the call itself
// where the call has arguments.
#include "product/common/CallLog.h"
#include "product/common/Fault.h"

namespace {

HMODULE self = NULL;

void Log(const standin::Line& line)
{
    char path[MAX_PATH];
    if (standin::BesidePath(self, "qelsubs.log", path, sizeof path)) line.AppendTo(path);
}

#ifndef LEAVE_OUT_SM_IE4Instalado
// [qelsubs] IE4Installed=<n>; a missing file or key means not installed.
int IE4Setting()
{
    char path[MAX_PATH];
    if (!standin::BesidePath(self, "qelsubs.ini", path, sizeof path)) return 0;
    return static_cast<int>(GetPrivateProfileIntA("qelsubs", "IE4Installed", 0, path));
}
#endif

}  // namespace

#ifndef LEAVE_OUT_SM_IE4Instalado
extern "C" int WINAPI SM_IE4Instalado()
{
#ifdef FAULT_IN_SM_IE4Instalado
    Log(standin::Line().Text("SM_IE4Instalado faults"));
    standin::WriteThroughNull();
#endif
    int installed = IE4Setting();
    Log(standin::Line().Text("SM_IE4Instalado() = ").Number(installed));
    return installed;
}
#endif

#ifndef LEAVE_OUT_SM_EliminaCanalA
extern "C" int WINAPI SM_EliminaCanalA(const char* channelUrl, const char* title, int flags)
{
    Log(standin::Line().Text("SM_EliminaCanalA(").Quoted(channelUrl).Text(", ").Quoted(title)
            .Text(", ").Number(flags).Text(")"));
#ifdef FAULT_IN_SM_EliminaCanalA
    Log(standin::Line().Text("SM_EliminaCanalA faults"));
    standin::WriteThroughNull();
#endif
    return 1;
}
#endif

#ifndef LEAVE_OUT_SM_ManageDesktopItem
extern "C" int WINAPI SM_ManageDesktopItem(int action, const char* itemUrl, const char* itemPage,
                                           const char* title, int flags)
{
    Log(standin::Line().Text("SM_ManageDesktopItem(").Number(action).Text(", ").Quoted(itemUrl)
            .Text(", ").Quoted(itemPage).Text(", ").Quoted(title).Text(", ").Number(flags)
            .Text(")"));
    return 1;
}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

// End-to-end runs of uninstall.exe on staged installations, and the sentinels beside them.
#include "tests/support/EndToEnd.h"
#include <windows.h>

namespace testing_support {

const char kSampleInstallDir[] = "C:\\Program Files\\Morwa Antivirus\\";

namespace {

std::string WithoutTrailingBackslash(std::string path)
{
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

std::string Directory(UINT (WINAPI* query)(LPSTR, UINT))
{
    char buffer[MAX_PATH] = "";
    query(buffer, sizeof buffer);
    return WithoutTrailingBackslash(buffer);
}

// Names that the sample manifest uses, so that a path composed against the wrong directory
// would find something to delete.
const char* const kSentinelNames[] = {
    "qelexcli.dll", "qelres.dll", "readme.txt", "scan.TMP", "scan.LOG", "inbox.EML", "QELSCAN.GID",
    "~qel0001.dat", "Engine\\qelengine.dll", "Engine\\sigs.tmp", "Base\\licence.key", "Temp\\~qel0002.tmp",
    "Update\\Backup\\qelsig.dat",
};

struct SentinelValue { HKEY root; const char* key; const char* name; };
const SentinelValue kSentinelValues[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Morwa Software Sentinel\\Engine", "Level"},
    {HKEY_CURRENT_USER, "Software\\Morwa Software Sentinel\\Mail", "Folder"},
    {HKEY_CLASSES_ROOT, ".qelsentinel", ""},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "QELSentinel"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelsentinel.exe", ""},
};
const char kSentinelData[] = "sentinel: no uninstall may touch this";
// The keys that the sentinels create of their own, removed whole afterwards.
const SentinelValue kSentinelKeys[] = {
    {HKEY_LOCAL_MACHINE, "Software\\Morwa Software Sentinel", ""},
    {HKEY_CURRENT_USER, "Software\\Morwa Software Sentinel", ""},
    {HKEY_CLASSES_ROOT, ".qelsentinel", ""},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qelsentinel.exe", ""},
};

}  // namespace

std::string SampleDescription()
{
    return SourcePath("samples\\installation.ini");
}

staging::Options SampleOptions(const std::string& installDir)
{
    staging::Options options;
    options.installDir = installDir;
    options.shipDir = WithoutTrailingBackslash(ShipPath(""));
    options.samplesDir = SourcePath("samples");
    return options;
}

EndToEnd::EndToEnd(const staging::Options& options, const std::string& description)
    : options_(options), description_(description)
{
}

bool EndToEnd::Stage()
{
    return installation_.Stage(description_, options_);
}

EndToEndRun EndToEnd::Run(const std::string& tokens, unsigned long timeoutMs)
{
    EndToEndRun run;
    run.facts.commandLine = "\"" + installation_.installDir() + "uninstall.exe\" " + tokens;
    run.before = installation_.Take();
    DWORD start = GetTickCount();
    ProcessResult process = RunProcess(run.facts.commandLine, "C:\\windows", timeoutMs);
    run.facts.milliseconds = GetTickCount() - start;
    run.facts.started = process.started;
    run.facts.finished = process.finished;
    run.facts.exitCode = process.exitCode;
    run.after = installation_.Take();
    return run;
}

std::string EndToEnd::Report(const EndToEndRun& run) const
{
    const staging::Installation& installation = installation_;
    return staging::FormatReport(run.facts, run.before, run.after,
                                 [&installation](const std::string& kind, const std::string& name) {
                                     return installation.ReasonFor(kind, name);
                                 });
}

Sentinels::Sentinels(const std::string& installDir)
{
    std::string top = WithoutTrailingBackslash(installDir);
    directory_ = top + " Sentinel";
    for (const char* name : kSentinelNames) files_.push_back({directory_ + "\\" + name, kSentinelData});
    files_.push_back({top + "qelres.dll", kSentinelData});
    files_.push_back({top + ".LOG", kSentinelData});
    files_.push_back({Directory(GetWindowsDirectoryA) + "\\qelsentinel.exe", kSentinelData});
    files_.push_back({Directory(GetSystemDirectoryA) + "\\qelsentinel.dll", kSentinelData});
    for (const auto& file : files_) WriteTextFile(file.first, file.second);
    for (const SentinelValue& value : kSentinelValues) SetStringValue(value.root, value.key, value.name, kSentinelData);
}

Sentinels::~Sentinels()
{
    for (const auto& file : files_) {
        SetFileAttributesA(file.first.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.first.c_str());
    }
    RemoveTree(directory_);
    DeleteValue(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "QELSentinel");
    for (const SentinelValue& key : kSentinelKeys) DeleteKeyTree(key.root, key.key);
}

std::vector<std::string> Sentinels::Missing() const
{
    std::vector<std::string> missing;
    for (const auto& file : files_)
        if (ReadTextFile(file.first) != file.second) missing.push_back(file.first);
    for (const SentinelValue& value : kSentinelValues)
        if (ReadStringValue(value.root, value.key, value.name) != kSentinelData)
            missing.push_back(std::string(value.key) + "\\" + (*value.name ? value.name : "@"));
    return missing;
}

}  // namespace testing_support

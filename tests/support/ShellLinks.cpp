// Shell links read back and written through IShellLinkA and IPersistFile.
#include "tests/support/ShellLinks.h"
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace testing_support {

namespace {

// Releases the interface when it goes.
template <typename Interface> struct Held {
    Interface* pointer = NULL;
    ~Held()
    {
        if (pointer) pointer->Release();
    }
};

// A shell link object and its file interface; false when either cannot be had.
bool Open(Held<IShellLinkA>& link, Held<IPersistFile>& file)
{
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link.pointer))) &&
           SUCCEEDED(link.pointer->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.pointer)));
}

bool Wide(const std::string& path, WCHAR (&wide)[MAX_PATH])
{
    return MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) != 0;
}

void ReadInto(const std::string& path, ShellLinkFacts& facts)
{
    Held<IShellLinkA> link;
    Held<IPersistFile> file;
    WCHAR widePath[MAX_PATH];
    if (!Open(link, file) || !Wide(path, widePath) || FAILED(file.pointer->Load(widePath, STGM_READ))) return;
    facts.loaded = true;
    char text[1024];
    text[0] = '\0';
    if (SUCCEEDED(link.pointer->GetPath(text, sizeof text, NULL, SLGP_RAWPATH))) facts.target = text;
    text[0] = '\0';
    if (SUCCEEDED(link.pointer->GetDescription(text, sizeof text))) facts.description = text;
    text[0] = '\0';
    if (SUCCEEDED(link.pointer->GetArguments(text, sizeof text))) facts.arguments = text;
    text[0] = '\0';
    if (SUCCEEDED(link.pointer->GetWorkingDirectory(text, sizeof text))) facts.workingDirectory = text;
}

bool WriteLink(const std::string& path, const std::string& target, const std::string& description)
{
    Held<IShellLinkA> link;
    Held<IPersistFile> file;
    WCHAR widePath[MAX_PATH];
    return Open(link, file) && Wide(path, widePath) && SUCCEEDED(link.pointer->SetPath(target.c_str())) &&
           SUCCEEDED(link.pointer->SetDescription(description.c_str())) &&
           SUCCEEDED(file.pointer->Save(widePath, TRUE));
}

}  // namespace

ShellLinkFacts ReadShellLink(const std::string& path)
{
    ShellLinkFacts facts;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return facts;
    HRESULT initialised = CoInitialize(NULL);
    ReadInto(path, facts);  // releases its interfaces before COM goes
    if (SUCCEEDED(initialised)) CoUninitialize();
    return facts;
}

bool WriteShellLink(const std::string& path, const std::string& target, const std::string& description)
{
    HRESULT initialised = CoInitialize(NULL);
    bool written = WriteLink(path, target, description);
    if (SUCCEEDED(initialised)) CoUninitialize();
    return written;
}

}  // namespace testing_support

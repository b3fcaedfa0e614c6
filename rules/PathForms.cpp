// The system's spellings of one path.
#include "rules/PathForms.h"
#include "base/Binder.h"
#include "base/Handles.h"
#include "base/Text.h"
#include "base/PathLimits.h"
#include "rules/PlaceRules.h"
#include <windows.h>
#include <cstring>

namespace {

typedef DWORD(WINAPI* PathConverter)(LPCSTR path, LPSTR buffer, DWORD size);

// Longer than any path the program forms, so that a long form is not mistaken for a failure.
const DWORD kFormBufferSize = 1024;

// The long form name by name, as the directory lists it: for Windows 95, which lacks
// GetLongPathNameA. 0 when a name is not found (or holds a wildcard), as that function fails.
DWORD WINAPI LongPathByFind(LPCSTR path, LPSTR buffer, DWORD size)
{
    const std::string text = path;
    size_t at = PathRootLength(text);
    if (at == std::string::npos || text.find_first_of("*?") != std::string::npos) return 0;
    std::string result = text.substr(0, at);
    while (at < text.size()) {
        size_t end = text.find('\\', at);
        if (end == std::string::npos) end = text.size();
        WIN32_FIND_DATAA found;
        FindHandle find(FindFirstFileA((result + text.substr(at, end - at)).c_str(), &found));
        if (end == at || !find.valid()) return 0;
        result += found.cFileName;
        if (end < text.size()) result += '\\';
        at = end + 1;
    }
    if (result.size() >= size) return static_cast<DWORD>(result.size() + 1);
    result.copy(buffer, result.size());
    buffer[result.size()] = '\0';
    return static_cast<DWORD>(result.size());
}

// Windows 95 lacks GetLongPathNameA: there the directory's own listing gives the long form.
PathConverter LongPathConverter()
{
    PathConverter convert = BindAs<PathConverter>(BoundFunction::kGetLongPathNameA);
    return convert ? convert : &LongPathByFind;
}

// Converts the longest existing head of the path and appends the rest unchanged.
std::string Converted(const std::string& fullPath, PathConverter convert)
{
    size_t root = PathRootLength(fullPath);
    if (convert == NULL || root == std::string::npos || fullPath.size() >= kFormBufferSize)
        return std::string();
    char head[kFormBufferSize];
    fullPath.copy(head, fullPath.size());
    size_t cut = fullPath.size();  // the head is fullPath up to here
    for (;;) {
        head[cut] = '\0';
        char buffer[kFormBufferSize];
        DWORD length = convert(head, buffer, sizeof buffer);
        if (length >= sizeof buffer) return std::string();
        if (length > 0) {
            const char* rest = fullPath.c_str() + cut;
            if (*rest == '\0') return std::string(buffer, length);
            if (*rest == '\\') ++rest;
            if (buffer[length - 1] != '\\') buffer[length++] = '\\';
            return std::string(buffer, length) + rest;
        }
        // One name fewer: the one before the last backslash (a trailing one belongs here).
        if (cut <= root || cut < 2) return std::string();
        size_t slash = fullPath.find_last_of('\\', cut - 2);
        if (slash == std::string::npos || slash + 1 < root) return std::string();
        cut = slash + 1 == root ? root : slash;
    }
}

}  // namespace

std::string FullPathOf(const std::string& path)
{
    char buffer[kPathSize] = "";
    char* filePart = NULL;
    DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &filePart);
    if (length == 0 || length >= sizeof buffer || length > kMaxPathChars) return std::string();
    return buffer;
}

std::string ShortFormOf(const std::string& fullPath)
{
    // Asking Wine for a short form costs a directory scan per name.
    if (IsShortFormAlready(fullPath)) return fullPath;
    return Converted(fullPath, GetShortPathNameA);
}

std::string LongFormOf(const std::string& fullPath)
{
    // Only a generated short name has a long form of its own, and every generated name holds
    // a '~': any other full path is its own long form, but for case, which no comparison
    // minds. Asking Wine costs a directory scan a name.
    // A name beyond ASCII is always asked for its other forms.
    bool beyondAscii = false;
    for (char c : fullPath) beyondAscii = beyondAscii || static_cast<unsigned char>(c) >= 128;
    if (!beyondAscii && fullPath.find('~') == std::string::npos) return std::string();
    return Converted(fullPath, LongPathConverter());
}

bool SurvivesOemCodePage(const std::string& ansi)
{
    bool ascii = true;
    for (char c : ansi) ascii = ascii && static_cast<unsigned char>(c) < 128;
    if (ascii) return true;
    if (ansi.size() > kMaxPathChars) return false;
    WCHAR wide[kPathSize], back[kPathSize];
    char oem[2 * kPathSize];
    BOOL usedDefault = FALSE;
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, kPathSize);
    // Best fit writes a neighbour ("-" for an en dash) without the default character: only the
    // way back shows it.
    return length > 0 &&
           WideCharToMultiByte(CP_OEMCP, 0, wide, -1, oem, sizeof oem, NULL, &usedDefault) > 0 && !usedDefault &&
           MultiByteToWideChar(CP_OEMCP, 0, oem, -1, back, kPathSize) == length &&
           std::memcmp(wide, back, length * sizeof(WCHAR)) == 0;
}

std::string OemSafeForm(const std::string& fullPath)
{
    if (SurvivesOemCodePage(fullPath)) return fullPath;
    char shortPath[kPathSize] = "";
    const DWORD length = GetShortPathNameA(fullPath.c_str(), shortPath, sizeof shortPath);
    if (length == 0 || length >= sizeof shortPath || !SurvivesOemCodePage(shortPath)) return std::string();
    return shortPath;
}

void LearnSystemCase()
{
    // A code page of two-byte characters has trail bytes that no byte table may upper-case.
    CPINFO info;
    if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) {
        SetUpperCaseBeyondAscii(nullptr);
        return;
    }
    unsigned char upper[128];
    for (int i = 0; i < 128; ++i) {
        const char byte = static_cast<char>(128 + i);
        char mapped[4];
        const int length = LCMapStringA(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, &byte, 1, mapped, sizeof mapped);
        const unsigned char result = static_cast<unsigned char>(mapped[0]);
        // Only a letter beyond ASCII or A to Z: never a separator or a dot.
        upper[i] = length == 1 && (result >= 128 || (result >= 'A' && result <= 'Z')) ? result : 0;
    }
    SetUpperCaseBeyondAscii(upper);
}

namespace {

// What QueryDosDeviceA answers for each drive letter, asked once a run: the places are many
// and mostly on one drive, and the answer does not change while the program runs.
struct DriveAnswer {
    bool asked = false;
    std::string target;  // "" where the system gives no answer
};
DriveAnswer driveAnswers[26];

const std::string& DriveTarget(char letter)
{
    static const std::string none;
    const char upper = UpperAscii(letter);
    if (upper < 'A' || upper > 'Z') return none;
    DriveAnswer& answer = driveAnswers[upper - 'A'];
    if (!answer.asked) {
        answer.asked = true;
        typedef DWORD(WINAPI * QueryProc)(LPCSTR device, LPSTR target, DWORD size);
        QueryProc query = BindAs<QueryProc>(BoundFunction::kQueryDosDeviceA);
        const char drive[3] = {upper, ':', '\0'};
        char target[kFormBufferSize] = "";
        DWORD length = query ? query(drive, target, sizeof target) : 0;
        if (length > 0 && length < sizeof target) answer.target = target;
    }
    return answer.target;
}

}  // namespace

void ForgetDriveAnswers()
{
    for (DriveAnswer& answer : driveAnswers) answer = DriveAnswer();
}

std::string DriveMappedForm(const std::string& fullPath)
{
    std::string path = fullPath, mapped;
    for (int depth = 0; depth < 4 && path.size() >= 2 && path[1] == ':'; ++depth) {
        const std::string& target = DriveTarget(path[0]);
        if (target.empty()) break;
        std::string next = ApplyDriveMapping(path, target);
        if (next.empty()) break;
        path = mapped = next;
    }
    return mapped;
}

bool SystemTellsDrive(const std::string& fullPath)
{
    if (fullPath.size() < 2 || fullPath[1] != ':') return true;
    return !DriveTarget(fullPath[0]).empty();
}

namespace {

bool VolumeSerial(char drive, DWORD* serial)
{
    const char root[4] = {drive, ':', '\\', '\0'};
    return GetVolumeInformationA(root, NULL, 0, serial, NULL, NULL, NULL, 0) != FALSE;
}

}  // namespace

bool OnAnAliasOfDrive(const std::string& fullPath, const std::string& other)
{
    if (fullPath.size() < 2 || other.size() < 2 || fullPath[1] != ':' || other[1] != ':') return false;
    if (UpperAscii(fullPath[0]) == UpperAscii(other[0]) || !DriveMappedForm(fullPath).empty()) return false;
    DWORD serial = 0, otherSerial = 0;
    return VolumeSerial(fullPath[0], &serial) && VolumeSerial(other[0], &otherSerial) && serial == otherSerial;
}

bool OwnFixedVolume(char letter)
{
    typedef UINT(WINAPI * DriveType)(LPCSTR root);
    DriveType driveType = BindAs<DriveType>(BoundFunction::kGetDriveTypeA);
    const char upper = UpperAscii(letter), root[4] = {upper, ':', '\\', '\0'};
    DWORD serial = 0, other = 0;
    if (!driveType || driveType(root) != DRIVE_FIXED || !VolumeSerial(upper, &serial)) return false;
    for (char each = 'C'; each <= 'Z'; ++each) {
        const char otherRoot[4] = {each, ':', '\\', '\0'};
        // Fixed drives only: a floppy or CD-ROM drive is never asked for its medium.
        if (each != upper && driveType(otherRoot) == DRIVE_FIXED && VolumeSerial(each, &other) && other == serial)
            return false;
    }
    return true;
}

std::vector<std::string> FormsOf(const std::string& fullPath)
{
    std::vector<std::string> forms;
    const std::string mapped = DriveMappedForm(fullPath);
    for (const std::string& path : {fullPath, mapped}) {
        if (path.empty()) continue;
        forms.push_back(path);
        for (const std::string& form : {ShortFormOf(path), LongFormOf(path)})
            if (!form.empty()) forms.push_back(form);
    }
    return forms;
}

bool IsAtOrBelowInAnySpelling(const std::string& path, const std::string& directory)
{
    const std::string fullPath = FullPathOf(path), fullDirectory = FullPathOf(directory);
    if (fullPath.empty() || fullDirectory.empty()) return false;
    return IsAtOrBelowAnyForm(FormsOf(fullPath), FormsOf(fullDirectory));
}

void IdentityOf(const std::string& path, FileSpellings* spellings)
{
    spellings->full = FullPathOf(path);
    if (spellings->full.empty()) return;
    spellings->longForm = LongFormOf(spellings->full);
    spellings->identity = UpperAscii(spellings->longForm.empty() ? spellings->full : spellings->longForm);
}

void CompleteSpellings(FileSpellings* spellings)
{
    if (spellings->complete || spellings->full.empty()) return;
    spellings->complete = true;
    spellings->shortForm = ShortFormOf(spellings->full);
    spellings->forms = FormsOf(spellings->full);
}

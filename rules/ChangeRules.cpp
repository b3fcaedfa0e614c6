// The rules the door asks before each change it makes.
#include "rules/ChangeRules.h"
#include "base/Handles.h"
#include "base/PathLimits.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include "rules/KeyRules.h"
#include "rules/PathForms.h"
#include "rules/PlaceRules.h"
#include "rules/ProtectedPlaces.h"
#include "rules/SharedFileRules.h"
#include "rules/SharedFiles.h"

namespace {

// True when both paths name the same drive letter.
bool OnDriveOf(const std::string& path, const std::string& other)
{
    return path.size() >= 2 && other.size() >= 2 && path[1] == ':' && other[1] == ':' &&
           UpperAscii(path[0]) == UpperAscii(other[0]);
}

std::string ParentOf(const std::string& full)
{
    return full.substr(0, full.rfind('\\'));
}

// A path's parent directory and the first word of its own name, upper-cased, without trailing
// backslashes: "C:\PROGRAM FILES" and "MORWA" for C:\Program Files\Morwa Vantorix\; false for a
// root or less.
bool ParentAndFirstWord(const std::string& path, std::string* parent, std::string* word)
{
    size_t end = path.find_last_not_of('\\');
    if (end == std::string::npos) return false;
    size_t slash = path.rfind('\\', end);
    if (slash == std::string::npos || slash < 3) return false;
    *parent = UpperAscii(path.substr(0, slash));
    const std::string name = UpperAscii(path.substr(slash + 1, end - slash));
    *word = name.substr(0, name.find(' '));
    return true;
}

// True when some spelling of each has the same parent, and their names the same first word (the
// vendor's naming: Morwa Vantorix beside Morwa Antivirus, never Internet Explorer beside it).
bool BesideAndNamedAlike(const std::vector<std::string>& forms, const std::vector<std::string>& others)
{
    std::string parent, word, otherParent, otherWord;
    for (const std::string& form : forms)
        for (const std::string& other : others)
            if (ParentAndFirstWord(form, &parent, &word) && ParentAndFirstWord(other, &otherParent, &otherWord) &&
                parent == otherParent && word == otherWord)
                return true;
    return false;
}

bool LastWritten(const std::string& path, FILETIME* time)
{
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path.c_str(), &entry));
    if (!find.valid()) return false;
    *time = entry.ftLastWriteTime;
    return true;
}

}  // namespace

RefusalRule CheckProductFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                             const std::string& path, std::string* company)
{
    FileSpellings file;
    IdentityOf(path, &file);
    return CheckProductFile(installation, systemForms, file, company);
}

RefusalRule CheckProductFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                             FileSpellings& file, std::string* company)
{
    const std::string& full = file.full;
    if (full.empty() || IsDevicePath(full)) return RefusalRule::kUnresolvedPath;
    CompleteSpellings(&file);
    const std::vector<std::string>& forms = file.forms;
    const std::string parent = ParentOf(full);
    RefusalRule rule = RefusalRule::kNone;
    if (IsAtOrBelowAnyForm(forms, systemForms)) {
        rule = CheckSystemFile(full, company);
        // Without the vendor's version information a file is the product's by its name, or,
        // directly in the system directory, by a SharedDLLs count; deeper down (drivers\etc,
        // iosubsys, ...) lie Windows' own files, and only the product's name tells one apart.
        if (rule == RefusalRule::kNone && company->empty() && !HasProductsName(full)) {
            if (!IsAtOrBelowAnyForm(systemForms, FormsOf(parent)))
                rule = RefusalRule::kWindowsDirectory;
            else if (LookUpSharedFile(file).valueName.empty())
                rule = RefusalRule::kNoEvidence;
        }
    }
    else if (!installation.IsPrivate())
        rule = RefusalRule::kInstallDirectory;
    else if (!IsAtOrBelowAnyForm(forms, installation.forms))
        rule = RefusalRule::kOutsideInstallation;
    if (rule == RefusalRule::kNone && PassesThroughLink(parent)) rule = RefusalRule::kLink;
    return rule;
}

bool IsProductsFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                    const std::string& path)
{
    FileSpellings file;
    IdentityOf(path, &file);
    if (path.empty() || file.full.empty()) return false;
    CompleteSpellings(&file);
    return (installation.IsPrivate() && IsAtOrBelowAnyForm(file.forms, installation.forms)) ||
           (HasProductsName(file.full) && IsAtOrBelowAnyForm(file.forms, systemForms));
}

RefusalRule CheckProgramFile(const std::string& path)
{
    const std::string full = FullPathOf(path);
    if (full.empty() || IsDevicePath(full) || CheckFullPath(full) != RefusalRule::kNone)
        return RefusalRule::kUnresolvedPath;
    return PassesThroughLink(ParentOf(full)) ? RefusalRule::kLink : RefusalRule::kNone;
}

RefusalRule CheckCopyTarget(const std::string& from, const std::string& to)
{
    RefusalRule rule = CheckProgramFile(to);
    FILETIME target, source;
    if (rule != RefusalRule::kNone || !LastWritten(to, &target)) return rule;
    std::string company;
    rule = CheckSystemFile(FullPathOf(to), &company);
    if (rule == RefusalRule::kOtherCompany && LastWritten(from, &source) && CompareFileTime(&target, &source) <= 0)
        return RefusalRule::kNone;
    return rule;
}

RefusalRule CheckProgramFileThroughInstallation(const InstallationRecord& installation, const std::string& path)
{
    return installation.IsPrivate() ? CheckProgramFile(path) : RefusalRule::kInstallDirectory;
}

RefusalRule CheckThroughInstallation(const InstallationRecord& installation)
{
    return installation.IsPrivate() ? RefusalRule::kNone : RefusalRule::kInstallDirectory;
}

RefusalRule CheckDirectory(const InstallationRecord& installation, bool shortPathRule, bool composedOnInstallation,
                           const std::string& directory, std::vector<std::string>* forms)
{
    if (shortPathRule && directory.size() <= 3) return RefusalRule::kShortPath;
    if (directory.size() > kMaxPathChars) return RefusalRule::kUnresolvedPath;
    std::string full;
    RefusalRule rule = DirectoryForms(directory.c_str(), &full, forms);
    if (rule != RefusalRule::kNone) return rule;
    if (installation.IsPrivate() && IsAtOrBelowAnyForm(*forms, installation.forms))
        return PassesThroughLink(full) ? RefusalRule::kLink : RefusalRule::kNone;
    if (composedOnInstallation)
        return installation.IsPrivate() ? RefusalRule::kOutsideInstallation : RefusalRule::kInstallDirectory;
    // Where the system cannot tell what a drive stands for, only the drives of Windows and of the
    // install directory are taken as what they are: another may be a folder of either.
    if (!DriveRootTold(full) && !OnDriveOf(full, WindowsDirectory()) &&
        !(installation.IsPrivate() && OnDriveOf(full, installation.directory)))
        return RefusalRule::kUnresolvedDrive;
    if (OnAnAliasOfDrive(full, WindowsDirectory())) return RefusalRule::kUnresolvedDrive;
    // An edition's folder of its own beside the private install directory and named alike
    // (C:\Program Files\Morwa Vantorix beside C:\Program Files\Morwa Antivirus) is private as
    // that one is.
    if (installation.IsPrivate() && BesideAndNamedAlike(*forms, installation.forms)) {
        std::vector<std::string> ignored;
        return CheckInstallDirectory(full, &ignored);
    }
    return CheckDirectoryForDeletion(directory.c_str());
}

RefusalRule CheckShortcutTarget(const std::string& target, const std::vector<std::string>& targets)
{
    // An empty text (an unread target, a private install directory there is none of) is no path
    // the system resolves: nothing is at or below it, and it is at or below nothing.
    for (const std::string& own : targets)
        if (IsAtOrBelowInAnySpelling(target, own)) return RefusalRule::kNone;
    return RefusalRule::kForeignShortcut;
}

RefusalRule CheckValueWrite(const InstallationRecord& installation, bool throughInstallation, RegistryRoot root,
                            const std::string& keyPath)
{
    if (throughInstallation && !installation.IsPrivate()) return RefusalRule::kInstallDirectory;
    return CheckValueDeletion(root, keyPath);
}

// The rules the door asks before each change it makes.
#include "rules/ChangeRules.h"
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

}  // namespace

RefusalRule CheckProductFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                             const std::string& path, std::string* company)
{
    const std::string full = FullPathOf(path);
    if (full.empty() || IsDevicePath(full)) return RefusalRule::kUnresolvedPath;
    const std::vector<std::string> forms = FormsOf(full);
    const std::string parent = ParentOf(full);
    RefusalRule rule = RefusalRule::kNone;
    if (IsAtOrBelowAnyForm(forms, systemForms)) {
        rule = CheckSystemFile(full, company);
        // Deeper than the system directory itself (drivers\etc, iosubsys, ...) lie Windows'
        // own files: only one the vendor's version information names is the product's.
        if (rule == RefusalRule::kNone && company->empty() && !IsAtOrBelowAnyForm(systemForms, FormsOf(parent)))
            rule = RefusalRule::kWindowsDirectory;
    }
    else if (!installation.IsPrivate())
        rule = RefusalRule::kInstallDirectory;
    else if (!IsAtOrBelowAnyForm(forms, installation.forms))
        rule = RefusalRule::kOutsideInstallation;
    if (rule == RefusalRule::kNone && PassesThroughLink(parent)) rule = RefusalRule::kLink;
    return rule;
}

RefusalRule CheckProgramFile(const std::string& path)
{
    const std::string full = FullPathOf(path);
    if (full.empty() || IsDevicePath(full) || CheckFullPath(full) != RefusalRule::kNone)
        return RefusalRule::kUnresolvedPath;
    return PassesThroughLink(ParentOf(full)) ? RefusalRule::kLink : RefusalRule::kNone;
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
    if (!SystemTellsDrive(full) && !OnDriveOf(full, WindowsDirectory()) &&
        !(installation.IsPrivate() && OnDriveOf(full, installation.directory)))
        return RefusalRule::kUnresolvedDrive;
    if (OnAnAliasOfDrive(full, WindowsDirectory())) return RefusalRule::kUnresolvedDrive;
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

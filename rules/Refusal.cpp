// The stable names of the refusal rules.
#include "rules/Refusal.h"

const char* RefusalRuleName(RefusalRule rule)
{
    switch (rule) {
    case RefusalRule::kNone: return "none";
    case RefusalRule::kShortPath: return "short-path";
    case RefusalRule::kRelativePath: return "relative-path";
    case RefusalRule::kDevicePath: return "device-path";
    case RefusalRule::kUnresolvedPath: return "unresolved-path";
    case RefusalRule::kDriveRoot: return "drive-root";
    case RefusalRule::kProtectedDirectory: return "protected-directory";
    case RefusalRule::kWindowsDirectory: return "windows-directory";
    case RefusalRule::kShellFolder: return "shell-folder";
    case RefusalRule::kProfileDirectory: return "profile-directory";
    case RefusalRule::kTempDirectory: return "temp-directory";
    case RefusalRule::kLink: return "link";
    case RefusalRule::kUnresolvedDrive: return "unresolved-drive";
    case RefusalRule::kInstallDirectory: return "install-directory";
    case RefusalRule::kOutsideInstallation: return "outside-installation";
    case RefusalRule::kCannotTell: return "cannot-tell";
    case RefusalRule::kListedName: return "listed-name";
    case RefusalRule::kTrailingDots: return "trailing-dots";
    case RefusalRule::kRegistryLink: return "registry-link";
    case RefusalRule::kCodePage: return "code-page";
    case RefusalRule::kRootKey: return "root-key";
    case RefusalRule::kRootChildKey: return "root-child-key";
    case RefusalRule::kSystemKey: return "system-key";
    case RefusalRule::kVendorKey: return "vendor-key";
    case RefusalRule::kDynamicKey: return "dynamic-key";
    case RefusalRule::kSystemConfiguration: return "system-configuration";
    case RefusalRule::kSystemValue: return "system-value";
    case RefusalRule::kSharedFile: return "shared-file";
    case RefusalRule::kUnreadableShareCount: return "unreadable-share-count";
    case RefusalRule::kStillListed: return "still-listed";
    case RefusalRule::kOtherCompany: return "other-company";
    case RefusalRule::kUnreadableOwner: return "unreadable-owner";
    case RefusalRule::kWindowsFile: return "windows-file";
    case RefusalRule::kNoEvidence: return "no-evidence";
    case RefusalRule::kForeignShortcut: return "foreign-shortcut";
    case RefusalRule::kUserFile: return "user-file";
    }
    return "unknown";
}

bool CannotTell(RefusalRule rule)
{
    switch (rule) {
    case RefusalRule::kShortPath:
    case RefusalRule::kUnresolvedPath:
    case RefusalRule::kDriveRoot:
    case RefusalRule::kLink:
    case RefusalRule::kUnresolvedDrive:
    case RefusalRule::kInstallDirectory:
    case RefusalRule::kUnreadableOwner:
    case RefusalRule::kCannotTell:
    case RefusalRule::kListedName:
    case RefusalRule::kTrailingDots:
        return true;
    default:
        return false;
    }
}

const char* KeptWords(RefusalRule rule)
{
    return CannotTell(rule) ? "kept, cannot tell, by rule" : "kept by rule";
}

const char* RefusedWords(RefusalRule rule)
{
    return CannotTell(rule) ? "refused, cannot tell, by rule" : "refused by rule";
}

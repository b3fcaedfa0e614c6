// The rules the door asks before each change it makes: whose file a path is, which directory
// may be emptied, what may be written where, which calls into the product's libraries may be
// made. They read the record of the installation and the system; nothing here changes the
// machine.
#pragma once
#include "rules/Installation.h"
#include "rules/PathForms.h"
#include "rules/RegistryRoot.h"
#include <string>
#include <vector>

// Whether one of the product's files may go from where it lies: from the private install
// directory, or from the system directory (given in `systemForms`) when neither Windows nor
// another company owns it; *company names the company its version information gives, if any.
// Without the vendor's company in its version information, a system-directory file is the
// product's only by evidence: its name ("QEL...", HasProductsName) or, directly in the system
// directory, a SharedDLLs count (else kNoEvidence); deeper down only its name (else
// kWindowsDirectory).
RefusalRule CheckProductFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                             const std::string& path, std::string* company);

// The same with the file's spellings as a list composed them (IdentityOf); the rest of them is
// computed once and kept in `file`.
RefusalRule CheckProductFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                             FileSpellings& file, std::string* company);

// True when `path` (PathInCommand) names a file of the product: in the private install directory,
// or in the system directory (`systemForms`) by the product's name ("QEL...", HasProductsName),
// in any spelling. Read from the path alone: the module has deleted the file by then.
bool IsProductsFile(const InstallationRecord& installation, const std::vector<std::string>& systemForms,
                    const std::string& path);

// A copy over `to` (the Maintenance Wizard's saved copy over the wizard): a place the program
// fixes itself, and not a file that another company's version information names and that was
// written after `from` (a newer owner put it there): kOtherCompany then, or the rule by which
// the owner cannot be read.
RefusalRule CheckCopyTarget(const std::string& from, const std::string& to);

// A file at a place the program fixes itself (the start-up file and its companion, the
// Maintenance Wizard's files and shortcut, WININIT.INI, the self-removal batch): a full path,
// reached through no link.
RefusalRule CheckProgramFile(const std::string& path);

// The same for a change that also works through the install directory (the start-up line that
// names it, the self-removal batch and its start, the deletions at the next start): the install
// directory must be a private place first.
RefusalRule CheckProgramFileThroughInstallation(const InstallationRecord& installation, const std::string& path);

// kInstallDirectory unless the install directory is a private place: the retry value, the
// deletions at the next start and the calls that change the product's libraries' state (the
// masks, the channel, the jobs) act for an installation only where it is the product's own.
RefusalRule CheckThroughInstallation(const InstallationRecord& installation);

// The rule for a directory: inside the private install directory anything but a link may go;
// what is composed on the install directory (`composedOnInstallation`) goes nowhere else; what
// is named elsewhere must be a private place of its own. `shortPathRule`: three characters or
// fewer are refused (a tree to empty, a directory to remove; not a pattern's directory).
// `forms` receives the directory's spellings.
RefusalRule CheckDirectory(const InstallationRecord& installation, bool shortPathRule, bool composedOnInstallation,
                           const std::string& directory, std::vector<std::string>* forms);

// kForeignShortcut unless a shortcut's `target` is one of `targets` (files, or directories it
// may lie in), in any spelling.
RefusalRule CheckShortcutTarget(const std::string& target, const std::vector<std::string>& targets);

// A value written below `keyPath`: never directly in one of the system's own keys (a
// registration list such as RunOnce excepted), and, `throughInstallation`, only for a private
// install directory.
RefusalRule CheckValueWrite(const InstallationRecord& installation, bool throughInstallation, RegistryRoot root,
                            const std::string& keyPath);

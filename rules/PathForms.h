// The system's spellings of one path: its full, short (8.3) and long forms.
#pragma once
#include <string>
#include <vector>

// GetFullPathNameA within 259 characters, or "" when it fails or the result is longer.
std::string FullPathOf(const std::string& path);

// The short and the long form of a full path. A path that does not exist wholly gets the
// form of its longest existing part, followed by the rest as given; "" when not even its
// root resolves. The long form needs GetLongPathNameA, which Windows 95 lacks: it is bound
// at the first call, and there the long form is always "".
std::string ShortFormOf(const std::string& fullPath);
std::string LongFormOf(const std::string& fullPath);

// The path as the folder its drive letter stands for, where the system tells (a SUBST drive on
// the NT family, through QueryDosDeviceA, bound at run time), followed as far as four drives
// deep; "" for a drive of its own, or where the system cannot tell (Windows 95/98, whose
// QueryDosDeviceA is a stub): such a path is compared as it stands.
std::string DriveMappedForm(const std::string& fullPath);

// Tells the comparisons how the system's ANSI code page upper-cases the bytes beyond ASCII
// (LCMapStringA of the system's locale; nothing in a code page of two-byte characters). A run
// asks once, before it gathers its places.
void LearnSystemCase();

// True when the OEM code page spells the ANSI text exactly: converted there and back it gives the
// same characters, neither a default character nor a best-fit neighbour ("-" for an en dash).
bool SurvivesOemCodePage(const std::string& ansi);

// The form of an existing path that the OEM code page spells exactly: the path itself, else its
// short form; "" when neither survives.
std::string OemSafeForm(const std::string& fullPath);

// Drive answers are asked once and kept; a new run asks again.
void ForgetDriveAnswers();

// True when the system can tell what the path's drive stands for: a network path, or a drive
// that QueryDosDeviceA answers for (a SUBST drive or a drive of its own). False where that
// function is missing or fails (Windows 95/98).
bool SystemTellsDrive(const std::string& fullPath);

// True when the path lies on another drive letter than `other` that no mapping explains,
// yet on the same volume (the same serial number): a drive that stands for a folder of the
// other's drive where the system cannot say which (SUBST on Windows 95/98).
bool OnAnAliasOfDrive(const std::string& fullPath, const std::string& other);

// Windows 95/98's evidence that a drive letter is a volume of its own, where nothing tells what
// it stands for: a fixed drive whose volume serial number no other fixed letter has (a SUBST
// letter has its drive's). It cannot tell which of two letters of one volume is the volume.
bool OwnFixedVolume(char letter);

// Every spelling of a full path that the checks compare: the path, its short and long forms,
// and the same for the folder its drive stands for.
std::vector<std::string> FormsOf(const std::string& fullPath);

// True when `path` is `directory` or lies below it in any of their spellings (full, short,
// long), case ignored; false when either is not a path the system resolves.
bool IsAtOrBelowInAnySpelling(const std::string& path, const std::string& directory);

// One file's spellings, computed once and handed to every check of it. `identity` names the
// file whatever spelling a list gives it (trailing dots, short or long names, case).
struct FileSpellings {
    std::string full;       // FullPathOf; "" when it does not resolve
    std::string longForm;   // "" where the full path is its own long form
    std::string identity;   // the long (else full) form, upper-cased; "" when it does not resolve
    bool complete = false;  // the rest below was computed
    std::string shortForm;
    std::vector<std::string> forms;  // FormsOf(full)
};

// Sets the full and long forms and the identity of an empty `spellings`: cheap, for comparing
// the files of lists.
void IdentityOf(const std::string& path, FileSpellings* spellings);

// Adds the short form and every spelling the checks compare, once.
void CompleteSpellings(FileSpellings* spellings);

// The one record of the installation a run works on: built once, at the run's start (by
// door::Begin and door::NoteEditionDirectory), and read by everything after through
// door::TheInstallation(); nothing keeps a copy of it (no Win32 here).
#pragma once
#include "rules/Refusal.h"
#include <string>
#include <vector>

struct InstallationRecord {
    // What the registry names.
    std::string directory;        // the install directory, with its trailing backslash; "" when unknown
    const char* editionValue = ""; // the edition directory's value name ("QEL60Vantorix"), "" when
                                   // the run's editions name none
    bool editionKeyOpens = false; // the key that holds the edition directories opened
    std::string editionDirectory; // the edition's own directory as its value gives it, "" when none

    // The verdicts, made as the record is built (the protected places taken first).
    RefusalRule rule = RefusalRule::kInstallDirectory;  // kNone when `directory` is a private place
    std::vector<std::string> forms;                     // its spellings, empty when its text is refused
    RefusalRule editionRule = RefusalRule::kRelativePath;  // kNone when the edition directory is a full path

    // When the product came: the earliest creation time of its own files there (kolbex.dll,
    // uninstall.exe, qel60_uninst.ini), in FILETIME ticks; 0 when none is there.
    unsigned long long since = 0;
    // The private install directory is older than the product by more than the slack: a folder
    // the user keeps files in too, whose older files are the user's (CreatedBeforeProduct).
    bool shared = false;

    bool IsPrivate() const { return rule == RefusalRule::kNone; }
    // `directory` when it is a private place, "" otherwise.
    std::string PrivateDirectory() const { return IsPrivate() ? directory : std::string(); }
};


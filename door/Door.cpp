// The door's run: the places kept for it, the preview's bookkeeping, the outcomes and verbs.
#include "door/Door.h"
#include "base/Handles.h"
#include "base/SystemDirectories.h"
#include "base/Text.h"
#include "log/RemovalLog.h"
#include "door/DoorState.h"
#include "rules/PathForms.h"
#include "rules/PlaceRules.h"
#include "rules/ProtectedPlaces.h"
#include <algorithm>
#include <memory>

namespace door {
namespace detail {

namespace {

// At namespace scope: a function's own static would bring the C++ library's thread-safe
// initialisation, and with it the exception runtime.
RunState state;

}  // namespace

RunState& State()
{
    return state;
}

std::string GoneName(const std::string& path)
{
    std::string full = FullPathOf(path);
    std::string name = UpperAscii(full.empty() ? path : full);
    while (name.size() > 3 && name.back() == '\\') name.pop_back();
    return name;
}

void MarkGone(const std::string& name)
{
    std::vector<std::string>& gone = State().gone;
    auto at = std::lower_bound(gone.begin(), gone.end(), name);
    if (at == gone.end() || *at != name) gone.insert(at, name);
}

bool IsGone(const std::string& name)
{
    const std::vector<std::string>& gone = State().gone;
    return std::binary_search(gone.begin(), gone.end(), name);
}

Outcome Done()
{
    Outcome outcome;
    outcome.result = Result::kDone;
    return outcome;
}

Outcome Missing(unsigned long error)
{
    Outcome outcome;
    outcome.result = Result::kMissing;
    outcome.error = error;
    return outcome;
}

Outcome Failed(unsigned long error)
{
    Outcome outcome;
    outcome.error = error;
    return outcome;
}

Outcome Refused(RefusalRule rule)
{
    Outcome outcome;
    outcome.result = Result::kRefused;
    outcome.rule = rule;
    return outcome;
}

Outcome RefusedWithLine(const char* keyword, RefusalRule rule, const std::string& what)
{
    LOG_OUTCOME(kRefused, keyword, "refused by rule %s: %s", RefusalRuleName(rule), what.c_str());
    return Refused(rule);
}

Outcome FromError(unsigned long error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Missing(error)
                                                                        : Failed(error);
}

const std::vector<std::string>& SystemForms()
{
    std::vector<std::string>& forms = State().systemForms;
    if (forms.empty()) {
        const std::string system = FullPathOf(SystemDirectory());
        if (!system.empty()) forms = FormsOf(system);
    }
    return forms;
}

Outcome PreviewFileDeletion(const std::string& path)
{
    const std::string name = GoneName(path);
    if (IsGone(name)) return Missing(ERROR_FILE_NOT_FOUND);
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FromError(GetLastError());
    // What the system would refuse; a file in use cannot be told from here.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return Failed(ERROR_ACCESS_DENIED);
    MarkGone(name);
    return Done();
}

}  // namespace detail

unsigned long long CreationOf(const WIN32_FIND_DATAA& entry)
{
    const FILETIME& created = entry.ftCreationTime;
    const FILETIME& written = entry.ftLastWriteTime;
    return CreationTicks((static_cast<unsigned long long>(created.dwHighDateTime) << 32) | created.dwLowDateTime,
                         (static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime);
}

namespace {

// The places of the run, taken before anything is deleted (see ProtectedPlacesScope).
std::unique_ptr<ProtectedPlacesScope> places;

// What a listing tells of the creation of the install directory's entry `name`, or of the
// directory itself for "".
unsigned long long CreationAt(const std::string& directory, const char* name)
{
    std::string path = directory + name;
    if (!*name) path.pop_back();
    WIN32_FIND_DATAA entry;
    FindHandle find(FindFirstFileA(path.c_str(), &entry));
    return find.valid() ? CreationOf(entry) : 0;
}

// When the product came (its own files' creation: the program, the version manager and the
// manifest under its product's name), and whether its directory was there before it: then the
// user chose a folder of their own for it.
void NoteInstallationTime(InstallationRecord& record)
{
    // The earliest of three: an update that puts one of them in anew leaves the others' time.
    record.since = EarliestKnown(EarliestKnown(CreationAt(record.directory, "kolbex.dll"),
                                               CreationAt(record.directory, "uninstall.exe")),
                                 CreationAt(record.directory, "qel60_uninst.ini"));
    record.shared = CreatedBeforeProduct(CreationAt(record.directory, ""), record.since);
    if (record.shared) LOG_LINE("START", "the install directory was there before the product: its older files are the user's");
}

}  // namespace

void Begin(const std::string& installDir, bool preview)
{
    End();
    detail::RunState& state = detail::State();
    state.preview = preview;
    ForgetDriveAnswers();
    places.reset(new ProtectedPlacesScope());
    places->Take();
    if (installDir.empty()) return;
    InstallationRecord& record = state.installation;
    record.directory = installDir;
    record.rule = CheckInstallDirectory(installDir, &record.forms);
    if (record.IsPrivate()) {
        LOG_LINE("START", "the install directory is a private place: the product's files in it may go");
        NoteInstallationTime(record);
    } else
        LOG_OUTCOME(kRefused, "START",
                    "the install directory %s is not a private place, by rule %s: nothing is removed through it",
                    installDir.c_str(), RefusalRuleName(record.rule));
}

void NoteEditionDirectory(const char* valueName, bool keyOpens, const std::string& directory)
{
    InstallationRecord& record = detail::State().installation;
    record.editionValue = valueName;
    record.editionKeyOpens = keyOpens;
    record.editionDirectory = directory;
    record.editionRule = CheckFullPath(directory);
}

void End()
{
    places.reset();
    detail::RunState& state = detail::State();
    state.preview = false;
    InstallationRecord& record = state.installation;
    record.directory.clear();
    record.rule = RefusalRule::kInstallDirectory;
    record.forms.clear();
    record.editionValue = "";
    record.editionKeyOpens = false;
    record.editionDirectory.clear();
    record.editionRule = RefusalRule::kRelativePath;
    state.systemForms.clear();
    state.gone.clear();
    state.released.clear();
    state.recorded = false;
}

const InstallationRecord& TheInstallation()
{
    return detail::State().installation;
}

bool Previewing()
{
    return detail::State().preview;
}

bool AlreadyGone(const std::string& path)
{
    return detail::State().preview && detail::IsGone(detail::GoneName(path));
}

const char* Verb(Did done)
{
    // In the order of Did: a run's word, then a preview's.
    static const char* const kVerbs[][2] = {
        {"deleted", "would delete"}, {"removed", "would remove"}, {"written", "would write"},
        {"copied", "would copy"},    {"started", "would start"},  {"lowered", "would lower"},
        {"cleared", "would clear"},  {"listed", "would list"},    {"requested", "would request"},
    };
    static_assert(sizeof kVerbs / sizeof kVerbs[0] == static_cast<size_t>(Did::kRequested) + 1,
                  "every change has its verbs");
    return kVerbs[static_cast<int>(done)][detail::State().preview ? 1 : 0];
}

}  // namespace door

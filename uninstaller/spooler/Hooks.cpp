#include "Hooks.h"

#include <algorithm>
#include <string_view>

#include "../common/AnsiLeadByte.h"
#include "../common/Journal.h"

namespace {

constexpr DWORD kPauseMs = 1000;
DWORD pauseMs = kPauseMs;

constexpr std::size_t kMaxEntry = 255;

bool DirectoryOf(const FileSpec& spec, char (&out)[text::kMaxText])
{
    out[0] = '\0';
    return text::AppendWhole(out, spec.drive) && text::AppendWhole(out, spec.directory);
}

void RunHook(RemovalState& state, std::string_view entry, const FileSpec& driver, const FileSpec& program,
             const char* programDirectory)
{
    const std::size_t comma = entry.find(',');
    if (comma == std::string_view::npos || comma == 0 || comma + 1 == entry.size())
        return;
    const std::string exportName(entry.substr(comma + 1));
    // Only the name counts; a directory in the entry is ignored.
    PathParts file;
    file.Split(entry.substr(0, comma), AnsiLeadByte);
    if (file.name[0] == '\0' && file.extension[0] == '\0')
        return;

    // Copies for this entry alone: a library found beside the program must
    // not send the next entry there too.
    FileSpec from = driver;
    FileSpec beside = program;
    text::CopyWhole(from.name, file.name);
    text::CopyWhole(from.extension, file.extension);
    text::CopyWhole(beside.name, file.name);
    text::CopyWhole(beside.extension, file.extension);
    if (!from.Exists() && beside.Exists()) {
        text::CopyWhole(from.drive, beside.drive);
        text::CopyWhole(from.directory, beside.directory);
    }

    char directory[text::kMaxText] = {};
    if (!DirectoryOf(from, directory) || from.Compose()[0] == '\0')
        return;
    state.Changes.CallHook(from.path, directory, exportName.c_str(), state.Owner, GetModuleHandleA(nullptr),
                           programDirectory, pauseMs);
}

void RunAll(RemovalState& state)
{
    FileSpec driver = state.DriverDirectory;
    FileSpec program;
    program.Resolve(location::ProgramDirectory);
    char programDirectory[text::kMaxText] = {};
    if (driver.directory[0] == '\0' || !DirectoryOf(program, programDirectory) || program.directory[0] == '\0')
        throw CFileSpecException{};
    if (!state.Database)
        return;
    for (const std::string& entry : state.Database->Merged.Hooks) {
        if (entry.size() <= kMaxEntry)
            RunHook(state, entry, driver, program, programDirectory);
    }
}

} // namespace

void SetHookPause(DWORD milliseconds) { pauseMs = std::min(milliseconds, kPauseMs); }

void RunHooks(RemovalState& state)
{
    // Runs inside a timer tick: without both directories no hook runs, and
    // nothing may leave here.
    try {
        RunAll(state);
    } catch (const CFileSpecException&) {
    }
}

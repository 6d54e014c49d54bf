#include "RunMode.h"

#include "../common/Text.h"

namespace {

enum class Values { None, AtLeastOne, ExactlyOne };

struct KnownSwitch {
    const char* Name;
    Values Wanted;
};

constexpr KnownSwitch kKnown[] = {
    {"MFG", Values::AtLeastOne}, {"PRN", Values::AtLeastOne},    {"UNVELT", Values::None},
    {"NOPICK", Values::None},    {"QUIET", Values::None},        {"WHATIF", Values::None},
    {"LOG", Values::ExactlyOne}, {"NORESTART", Values::None},    {"FORCERESTART", Values::None},
    {"BACKUP", Values::ExactlyOne}, {"RESTORE", Values::ExactlyOne}, {"FORCE", Values::None},
    {"?", Values::None},
};

const KnownSwitch* Find(const std::string& name)
{
    for (const KnownSwitch& known : kKnown) {
        if (text::FoldEqual(name, known.Name))
            return &known;
    }
    return nullptr;
}

bool ValuesParse(const KnownSwitch& known, std::size_t count)
{
    switch (known.Wanted) {
    case Values::None:
        return count == 0;
    case Values::AtLeastOne:
        return count >= 1;
    case Values::ExactlyOne:
        return count == 1;
    }
    return false;
}

std::string Written(const CommandSwitch& sw)
{
    std::string written = "/" + sw[0];
    for (std::size_t i = 1; i < sw.size(); ++i)
        written += (i == 1 ? ":" : ",") + sw[i];
    return written;
}

} // namespace

RunMode ReadRunMode(const SwitchList& switches, bool programFirst)
{
    RunMode mode;
    const std::vector<std::string>& others = switches.OtherTokens();
    if (others.size() > (programFirst ? 1u : 0u))
        mode.BadSwitch = others[programFirst ? 1 : 0];
    for (const CommandSwitch& sw : switches.Switches()) {
        const KnownSwitch* known = Find(sw[0]);
        if (!known || !ValuesParse(*known, sw.size() - 1)) {
            if (mode.BadSwitch.empty())
                mode.BadSwitch = Written(sw);
            continue;
        }
        if (known->Wanted == Values::ExactlyOne) {
            const std::string value(text::StripQuotes(sw[1]));
            (text::FoldEqual(sw[0], "BACKUP")    ? mode.BackupFolder
             : text::FoldEqual(sw[0], "RESTORE") ? mode.RestoreFolder
                                                 : mode.LogPath) = value;
        }
        for (const char* filter : {"MFG", "PRN", "UNVELT"}) {
            if (!text::FoldEqual(sw[0], filter))
                continue;
            if (!mode.Filter.empty())
                mode.Filter += ' ';
            mode.Filter += Written(sw);
        }
    }
    mode.Quiet = switches.FindSwitch("QUIET") >= 0;
    mode.WhatIf = switches.FindSwitch("WHATIF") >= 0;
    mode.Usage = switches.FindSwitch("?") >= 0;
    mode.Force = switches.FindSwitch("FORCE") >= 0;
    // A restore removes nothing and has no dry run; its own switch alone
    // lets another computer's backup in.
    if (mode.BadSwitch.empty()) {
        if (!mode.RestoreFolder.empty() && (mode.WhatIf || !mode.BackupFolder.empty() || !mode.Filter.empty()))
            mode.BadSwitch = "/RESTORE with /WHATIF, /BACKUP or a printer filter";
        else if (mode.Force && mode.RestoreFolder.empty())
            mode.BadSwitch = "/FORCE without /RESTORE";
    }
    const bool filtered =
        switches.FindSwitch("MFG") >= 0 || switches.FindSwitch("PRN") >= 0 || switches.FindSwitch("UNVELT") >= 0;
    mode.RemoveAllOffered = mode.Unattended() || (filtered && switches.FindSwitch("NOPICK") >= 0);

    const bool never = switches.FindSwitch("NORESTART") >= 0;
    const bool always = switches.FindSwitch("FORCERESTART") >= 0;
    if (never && always) {
        // Which one was meant can't be told; neither may win by its place.
        if (mode.BadSwitch.empty())
            mode.BadSwitch = "/NORESTART /FORCERESTART";
    } else if (never) {
        mode.Restart = RestartPolicy::Never;
    } else if (always) {
        mode.Restart = RestartPolicy::Always;
    }
    // "MFG" and "PRN" values the program can't hold would offer no printer
    // and let the run take only the scripts' leftovers: as bad as no value.
    char values[256];
    for (const char* name : {"MFG", "PRN"}) {
        if (switches.FindSwitch(name) >= 0 && !switches.GetSwitchValues(name, values, sizeof values) &&
            mode.BadSwitch.empty())
            mode.BadSwitch = std::string("/") + name;
    }
    return mode;
}

const char kUsageText[] =
    "prnuninst [/MFG:prefix[,prefix...]] [/PRN:driver[,driver...]] [/UNVELT] [/NOPICK]\r\n"
    "          [/QUIET] [/WHATIF] [/LOG:file] [/NORESTART | /FORCERESTART]\r\n"
    "          [/BACKUP:folder] [/?]\r\n"
    "prnuninst /RESTORE:folder [/FORCE] [/QUIET] [/LOG:file]\r\n"
    "\r\n"
    "  /MFG:prefixes   offer only printers whose driver name begins with one of them\r\n"
    "  /PRN:drivers    offer only printers whose driver name is one of them\r\n"
    "  /UNVELT         offer only printers with a masked name\r\n"
    "  /NOPICK         with /MFG, /PRN or /UNVELT: remove every offered printer at once\r\n"
    "  /QUIET          no window: remove every offered printer, messages to the log\r\n"
    "  /WHATIF         change nothing: list what the removal would take away and keep\r\n"
    "  /LOG:file       append one UTF-8 line per action and message to the file\r\n"
    "  /NORESTART      never restart Windows\r\n"
    "  /FORCERESTART   restart without asking when a restart is needed\r\n"
    "  /BACKUP:folder  save what each change destroys into the folder, which must\r\n"
    "                  be new or empty; with /WHATIF tell the size it would take\r\n"
    "  /RESTORE:folder put back what the backup in the folder holds, no window\r\n"
    "  /FORCE          with /RESTORE: accept a backup of another computer\r\n"
    "  /?              show this text\r\n"
    "\r\n"
    "Exit codes with /QUIET, /WHATIF or /RESTORE: 0 done, 3010 done and a restart\r\n"
    "is needed, 1641 done and a restart was started, 1603 a chosen printer stayed\r\n"
    "or an item failed (or a fatal condition: no administrator rights, the spooler\r\n"
    "doesn't answer, the printers can't be read, the backup can't be written), 1622\r\n"
    "the log can't be written, 1618 another instance runs, 87 a switch that isn't\r\n"
    "known or whose value doesn't parse.\r\n";

#!/usr/bin/env bash
# The removal changes the machine only through its door: no call that
# deletes, writes, starts, stops or restarts anything may stand in the
# engine, the operations or the scripts' layer; only door/ makes them.
# Also checks that no layer includes from a layer above it.
#   check-door.sh SOURCE_DIR
set -uo pipefail
src=${1:?usage: check-door.sh SOURCE_DIR}
cd "$src/uninstaller" || exit 2

calls='DeleteFileA|MoveFileExA|RemoveDirectoryA|SetFileAttributesA|CopyFileA|RegDeleteKeyA|RegDeleteKeyExA|RegDeleteValueA|RegDeleteTreeA|RegSetValueExA|RegSetKeyValueA|RegSetKeySecurity|RegCreateKeyA|RegCreateKeyExA|WritePrivateProfileStringA|DeletePrinter|DeletePrinterConnectionA|SetPrinterA|SetJobA|SetPrinterDataA|DeletePrinterDataA|DeletePrinterDriverA|DeletePrinterDriverExA|DeleteMonitorA|DeletePrintProcessorA|DeleteService|ControlService|StartServiceA|ChangeServiceConfigA|SetupDiRemoveDevice|SetupUninstallOEMInfA|CreateProcessA|WinExec|ShellExecuteA|ExitWindowsEx|InitiateSystemShutdownA|DdeClientTransaction|DeleteKeyLine|AddZwininitDelete|AppendWininitDelete|ScheduleAtRestart|DeleteKeyTree|DeleteRegistryTree|GrantEveryoneAccess|StopSpoolerService|StartSpoolerService|RequestRestartOfWindows|ProgmanExecute|SendToProgman|UninstallOemInf'
status=0
# A call is the name followed by "(", not a member of the door (".Name(")
# and not a comment.
hits=$(grep -nE "(^|[^.>:A-Za-z0-9_])($calls)\s*\(" engine/*.cpp spooler/*.cpp system/*.cpp script/*.cpp common/*.cpp 2>/dev/null |
       grep -vE '^[^:]+:[0-9]+:\s*//' |
       grep -vE 'WriteProfileStringA\(nullptr, nullptr, nullptr\)' || true)
# WIN.INI writes other than the cache flush, and broadcasts, are changes too.
hits2=$(grep -nE 'WriteProfileStringA\(|HWND_BROADCAST' engine/*.cpp spooler/*.cpp system/*.cpp script/*.cpp 2>/dev/null |
        grep -vE 'WriteProfileStringA\(nullptr, nullptr, nullptr\)' || true)
if [ -n "$hits$hits2" ]; then
    echo "Changes to the machine outside the door:"
    printf '%s\n' "$hits" "$hits2" | sed '/^$/d; s/^/  /'
    status=1
fi

# Layers, from the top: app, engine, spooler, system, backup, door, script,
# common. The backup stands in front of the door and is a door itself: it
# writes the backup's folder, and a restore puts the machine back.
layers=(app engine spooler system backup door script common)
for ((i = 0; i < ${#layers[@]}; ++i)); do
    for ((j = 0; j < i; ++j)); do
        up=$(grep -nE "#include \"\.\./${layers[j]}/" "${layers[i]}"/* 2>/dev/null || true)
        if [ -n "$up" ]; then
            echo "${layers[i]}/ includes from ${layers[j]}/, a layer above it:"
            printf '%s\n' "$up" | sed 's/^/  /'
            status=1
        fi
    done
done
[ $status -eq 0 ] && echo "the door and the layers hold"
exit $status

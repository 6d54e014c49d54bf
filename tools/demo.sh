#!/usr/bin/env bash
# The program's main job on a prepared demo machine: a Wine prefix of its
# own, without the Z: drive, set up as an office PC by demo_machine.exe (the
# maker's printers on two drivers, a masked printer, one of another maker,
# and what their driver packages left with the uninstall script naming it).
#   demo.sh BUILD_DIR
# With DISPLAY set the program shows on that display and stays until closed.
# Otherwise, under Xvfb, demodriver.exe plays the administrator: all the
# maker's printers chosen and removed, the loading dialog, the selection page
# and the finished removal page saved as BUILD/prnuninst-loading.png,
# BUILD/prnuninst-main.png and BUILD/prnuninst-removal.png. Then, on a fresh
# copy of the machine, the unattended runs: /WHATIF, then /QUIET, each with
# its log, its whole exit code and its wall time.
set -euo pipefail
build=$(readlink -f "${1:?usage: demo.sh BUILD_DIR}")
here=$(dirname "$(readlink -f "$0")")
bed="$build/demo"
tests="$build/tests/bin"
drive_c="$bed/prefix/drive_c"

run() { "$here/wine-run.sh" "$bed" "$@"; }

fresh_machine() {
    WINE_BED_DESKTOP=800x600 "$here/wine-bed.sh" up "$bed" "$build/bin" "$tests"
    run "$tests/demo_machine.exe"
}

trap '"$here/wine-bed.sh" down "$bed"' EXIT

if [ -n "${DISPLAY:-}" ]; then
    export WINE_BED_DISPLAY="$DISPLAY"
    fresh_machine
    run "$tests/demo_machine.exe" --state "before"
    set +e
    run "$build/bin/prnuninst.exe"
    code=$?
    set -e
    echo "demo: prnuninst.exe ended with $code (low byte)"
    run "$tests/demo_machine.exe" --state "after the interactive run"
    exit 0
fi

fresh_machine
run "$tests/demo_machine.exe" --state "before"

# The loading dialog is the only plain dialog on the screen while it runs.
run "$tests/windowshot.exe" '#32770' 'T:\prnuninst-loading.png' &
loadingShot=$!
run "$build/bin/prnuninst.exe" &
program=$!
run "$tests/demodriver.exe" 'T:\prnuninst-main.png' 'T:\prnuninst-removal.png' --exit
for shot in main removal; do
    mv -f "$tests/prnuninst-$shot.png" "$build/prnuninst-$shot.png"
    echo "demo: $shot window saved to $build/prnuninst-$shot.png"
done
if wait "$loadingShot" && [ -f "$tests/prnuninst-loading.png" ]; then
    mv -f "$tests/prnuninst-loading.png" "$build/prnuninst-loading.png"
    echo "demo: loading dialog saved to $build/prnuninst-loading.png"
fi
set +e
wait "$program"
code=$?
set -e
echo "demo: prnuninst.exe ended with $code (low byte)"
run "$tests/demo_machine.exe" --state "after the interactive run"

echo
echo "demo: the unattended runs, on a fresh copy of the machine"
fresh_machine
run "$tests/demo_machine.exe" --state "before"
set +e
run "$tests/runtimed.exe" 'P:\prnuninst.exe' '/?' >"$bed/usage.txt"
run "$tests/runtimed.exe" --mute 'P:\prnuninst.exe' /WHATIF '/LOG:C:\demo-whatif.log'
echo "--- C:\\demo-whatif.log"
cat "$drive_c/demo-whatif.log"
run "$tests/demo_machine.exe" --state "after the dry run (nothing changed)"
run "$tests/runtimed.exe" 'P:\prnuninst.exe' /QUIET '/LOG:C:\demo-quiet.log'
echo "--- C:\\demo-quiet.log"
cat "$drive_c/demo-quiet.log"
set -e
echo "--- for comparison, Wine's start and the program's start-up alone:"
tail -n 2 "$bed/usage.txt"
run "$tests/demo_machine.exe" --state "after the quiet run"

echo
echo "demo: a removal with its backup, then the backup put back, on a fresh copy of the machine"
fresh_machine
run "$tests/demo_machine.exe" --state "before"
set +e
run "$tests/runtimed.exe" --mute 'P:\prnuninst.exe' /QUIET '/BACKUP:C:\demo-backup' '/LOG:C:\demo-backup.log'
echo "--- C:\\demo-backup.log"
cat "$drive_c/demo-backup.log"
echo "--- C:\\demo-backup\\manifest.txt"
cat "$drive_c/demo-backup/manifest.txt"
run "$tests/demo_machine.exe" --state "after the removal with its backup"
run "$tests/runtimed.exe" --mute 'P:\prnuninst.exe' '/RESTORE:C:\demo-backup' /QUIET '/LOG:C:\demo-restore.log'
echo "--- C:\\demo-restore.log"
cat "$drive_c/demo-restore.log"
set -e
run "$tests/demo_machine.exe" --state "after the restore"

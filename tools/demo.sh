#!/usr/bin/env bash
# The program's main job on a prepared demo machine (a Wine prefix of its
# own, without the Z: drive, with the maker's printers and their uninstall
# scripts installed by demo_machine.exe), with a screenshot of the main window saved as
# BUILD/prnuninst-main.png.
#   demo.sh BUILD_DIR
# With DISPLAY set the program shows on that display and stays until closed;
# otherwise it runs under Xvfb and is closed after the screenshot.
set -euo pipefail
build=$(readlink -f "${1:?usage: demo.sh BUILD_DIR}")
here=$(dirname "$(readlink -f "$0")")
bed="$build/demo"

if [ -n "${DISPLAY:-}" ]; then
    export WINE_BED_DISPLAY="$DISPLAY"
    close=""
else
    close="--close"
fi

WINE_BED_DESKTOP=800x600 "$here/wine-bed.sh" up "$bed" "$build/bin" "$build/tests/bin"
trap '"$here/wine-bed.sh" down "$bed"' EXIT

"$here/wine-run.sh" "$bed" "$build/tests/bin/demo_machine.exe"

# The loading dialog is the only plain dialog on the screen while it runs.
"$here/wine-run.sh" "$bed" "$build/tests/bin/windowshot.exe" '#32770' 'T:\prnuninst-loading.png' &
loadingShot=$!

"$here/wine-run.sh" "$bed" "$build/bin/prnuninst.exe" &
program=$!

"$here/wine-run.sh" "$bed" "$build/tests/bin/windowshot.exe" QRVUninstallWindowClass_Q 'T:\prnuninst-main.png' $close
mv -f "$build/tests/bin/prnuninst-main.png" "$build/prnuninst-main.png"
echo "demo: main window saved to $build/prnuninst-main.png"
if wait "$loadingShot" && [ -f "$build/tests/bin/prnuninst-loading.png" ]; then
    mv -f "$build/tests/bin/prnuninst-loading.png" "$build/prnuninst-loading.png"
    echo "demo: loading dialog saved to $build/prnuninst-loading.png"
fi

set +e
wait "$program"
code=$?
set -e
echo "demo: prnuninst.exe ended with $code"

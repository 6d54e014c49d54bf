#!/usr/bin/env bash
# Checks the shipped binaries' import and export tables and the manifest.
#   check-deliverables.sh BIN_DIR
set -euo pipefail
bin=${1:?usage: check-deliverables.sh BIN_DIR}
objdump=x86_64-w64-mingw32-objdump
failed=0
fail() { echo "FAIL: $*"; failed=1; }

proxy_functions=(
  EnumPrintersA OpenPrinterA GetPrinterA SetPrinterA ClosePrinter DeletePrinter DeletePrinterConnectionA
  GetPrinterDataA EnumJobsA SetJobA EnumPrinterDriversA GetPrinterDriverA DeletePrinterDriverA
  GetPrinterDriverDirectoryA EnumPrintProcessorsA DeletePrintProcessorA GetPrintProcessorDirectoryA
  DeleteMonitorA RegOpenKeyA RegOpenKeyExA RegEnumKeyA RegEnumValueA RegDeleteKeyA RegDeleteValueA
  RegSetValueExA RegCloseKey
)

# The imports of prnuninst.exe, as "DLL function" lines.
imports=$($objdump -p "$bin/prnuninst.exe" | awk '
  /DLL Name:/ { dll = tolower($3) }
  /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ && dll != "" { print dll, $NF }')

grep -q '^winspool.drv ' <<<"$imports" && fail "prnuninst.exe imports winspool.drv"
grep -q '^splproxy64_q.dll ' <<<"$imports" || fail "prnuninst.exe does not import SPLPROXY64_Q.dll"
for f in GetPrinterDriverDirectoryA GetPrintProcessorDirectoryA; do
  grep -q "^splproxy64_q.dll $f\$" <<<"$imports" || fail "$f is not imported from SPLPROXY64_Q.dll"
done
# Whatever the program uses of the 26 comes from the proxy, never the platform.
for f in "${proxy_functions[@]}"; do
  if grep " $f\$" <<<"$imports" | grep -vq '^splproxy64_q.dll '; then
    fail "$f is imported from $(grep " $f\$" <<<"$imports" | awk '{print $1}' | grep -v splproxy)"
  fi
done

exports=$($objdump -p "$bin/SPLPROXY64_Q.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF} t && /^$/ {t=0}')
for f in "${proxy_functions[@]}"; do
  grep -qx "$f" <<<"$exports" || fail "SPLPROXY64_Q.dll does not export $f"
done
count=$(grep -c . <<<"$exports")
[ "$count" -eq 26 ] || fail "SPLPROXY64_Q.dll exports $count names, not 26"

supply=$($objdump -p "$bin/SUPPLYUI64_Q.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {print $NF} t && /^$/ {t=0}')
for f in TonerLevelDialogDoModal VoltageBiasDialogDoModal DllGetClassObject DllCanUnloadNow DllRegisterServer; do
  grep -qx "$f" <<<"$supply" || fail "SUPPLYUI64_Q.dll does not export $f"
done

grep -aq 'level="requireAdministrator"' "$bin/prnuninst.exe" || fail "the manifest does not ask for administrator rights"

if [ "$failed" -eq 0 ]; then echo "1 passed, 0 failed"; else echo "0 passed, 1 failed"; exit 1; fi

#!/bin/bash
# Runs cereg and findcomport as a user would, on a fresh machine root.
set -u
cereg=$1
findcomport=$2
export CE_ROOT=$(mktemp -d)
trap 'rm -rf "$CE_ROOT"' EXIT
failures=0

check() {  # check "what" expected actual
    if [ "$2" != "$3" ]; then
        printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

# Refused: exit 1, a message naming the bad part, and the registry unchanged.
refused() {  # refused "what" "message part" command...
    local what=$1 says=$2
    shift 2
    local before after err status
    before=$("$cereg" export)
    err=$("$@" 2>&1 >/dev/null)
    status=$?
    after=$("$cereg" export)
    check "$what: exit status" 1 "$status"
    case "$err" in *"$says"*) ;; *) check "$what: message" "*$says*" "$err" ;; esac
    check "$what: registry unchanged" "$before" "$after"
}

out=$("$findcomport"); status=$?
check "empty root: port" 0 "$out"
check "empty root: status" 1 "$status"

"$cereg" add 'HKEY_LOCAL_MACHINE\Drivers\Active\02' PnpId REG_SZ KESTROW_DEVICE_LABS-TRV-PA01-5A3C
"$cereg" add 'HKLM\Drivers\Active\02' Name REG_SZ COM5:
"$cereg" add 'Drivers\Active\02' Hnd REG_DWORD 0x1234
out=$("$findcomport"); status=$?
check "card on COM5: port" 5 "$out"
check "card on COM5: status" 0 "$status"
check "query a value" '"Name"="COM5:"' "$("$cereg" query 'Drivers\Active\02' name)"
check "query a dword" '"Hnd"=dword:00001234' "$("$cereg" query 'Drivers\Active\02' Hnd)"
grep -q '^\[HKEY_LOCAL_MACHINE\\Drivers\\Active\\02\]$' "$CE_ROOT/system.reg" || check "file holds the key" yes no

refused "unknown type" "unknown value type 'REG_TEXT'" "$cereg" add 'Drivers\Active\03' Name REG_TEXT COM6:
refused "malformed dword" "malformed REG_DWORD data '12abc'" "$cereg" add 'Drivers\Active\02' Hnd REG_DWORD 12abc
refused "dword too large" "malformed REG_DWORD data" "$cereg" add 'Drivers\Active\02' Hnd REG_DWORD 4294967296
refused "malformed binary" "malformed REG_BINARY data 'zz'" "$cereg" add 'Drivers\Active\02' B REG_BINARY zz
refused "unknown key" 'no such key: HKEY_LOCAL_MACHINE\Drivers\Nothing' "$cereg" delete 'Drivers\Nothing'
refused "unknown value" "no value 'Nothing'" "$cereg" delete 'Drivers\Active\02' Nothing
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\09]\n"Name"="COM9:"\n"Bad"=dword:zz\n' > "$CE_ROOT/bad.reg"
refused "malformed import" "line 5: malformed dword 'zz'" "$cereg" import "$CE_ROOT/bad.reg"

# Import a second card ahead of the first in enumeration order, export, re-import.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Drivers\\Active\\01]\n"PnpId"="KESTROW_DEVICE_LABS-TRV-PA02-0001"\n"Name"="COM3:"\n' |
    "$cereg" import -
check "first card in enumeration order" 3 "$("$findcomport")"
"$cereg" export 'Drivers' "$CE_ROOT/drivers.reg"
"$cereg" delete 'Drivers\Active\01'
check "after removal" 5 "$("$findcomport")"
"$cereg" import "$CE_ROOT/drivers.reg"
check "after re-import" 3 "$("$findcomport")"

# A malformed registry file is named with its line and left as it was.
printf 'Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Drivers\n' > "$CE_ROOT/system.reg"
cp "$CE_ROOT/system.reg" "$CE_ROOT/kept.reg"
err=$("$cereg" add 'X' 2>&1); status=$?
check "malformed file: status" 1 "$status"
case "$err" in *"system.reg:2:"*) ;; *) check "malformed file: message names file and line" "*system.reg:2:*" "$err" ;; esac
cmp -s "$CE_ROOT/system.reg" "$CE_ROOT/kept.reg" || check "malformed file untouched" same changed
out=$("$findcomport" 2>/dev/null)
check "malformed file: no port" 0 "$out"

if [ $failures -ne 0 ]; then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"

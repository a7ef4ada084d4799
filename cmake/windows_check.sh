#!/bin/bash
# Compiles deliverable sources against MinGW-w64's Windows headers, compile
# only: if they build there unchanged, nothing of this host leaked into them.
# usage: windows_check.sh <compiler> <include dirs separated by ;> <sources...>
set -u
compiler=$1
includes=$2
shift 2
if ! command -v "$compiler" >/dev/null; then
    echo "$compiler not found: install g++-mingw-w64-x86-64 (scripts/install-deps.sh does)"
    exit 1
fi
flags=(-std=c++20 -Wall -Wextra -Werror -DUNICODE -D_UNICODE)
IFS=';' read -ra dirs <<< "$includes"
for d in "${dirs[@]}"; do flags+=(-I "$d"); done
status=0
for source in "$@"; do
    if ! "$compiler" "${flags[@]}" -c "$source" -o /dev/null; then
        echo "does not compile for Windows: $source"
        status=1
    fi
done
[ $status -eq 0 ] && echo "compiled for Windows: $#"
exit $status

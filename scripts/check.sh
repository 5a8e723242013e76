#!/bin/sh
# Checks the sources without building them: their format, that the code without widgets (common/,
# cipher/, platform/core/) includes no Qt Gui or Qt Widgets header, and clang-tidy on that code.
# Usage: scripts/check.sh <build folder with compile_commands.json>
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/test}
core="common cipher platform/core"
# The files of the working tree, new ones included.
files() { git ls-files --cached --others --exclude-standard "$@"; }

files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# The Qt headers are where the build found Qt Core.
qt=$(grep -o -- '-isystem [^ ]*/QtCore ' "$build/compile_commands.json" | head -n 1 |
     sed 's/^-isystem //; s@/QtCore $@@')
[ -d "$qt/QtWidgets" ] || { echo "No Qt headers beside Qt Core in $build" >&2; exit 1; }
found=0
for header in $(files $core | xargs sed -n 's/^#include <\(Q[^>]*\)>.*/\1/p' | sort -u); do
    case $header in
    QtGui/* | QtWidgets/*) ;;
    *) [ -e "$qt/QtGui/$header" ] || [ -e "$qt/QtWidgets/$header" ] || continue ;;
    esac
    echo "The code without widgets includes <$header>:" >&2
    files $core | xargs grep -n "#include <$header>" >&2
    found=1
done
[ "$found" -eq 0 ]

# Its diagnostics go to standard output; standard error only counts the warnings it left out.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! files $core | grep '\.cpp$' |
    xargs -P "$(nproc)" -n 1 clang-tidy -p "$build" --quiet 2>"$log"; then
    grep -v 'warnings\? generated\.$' "$log" >&2
    exit 1
fi

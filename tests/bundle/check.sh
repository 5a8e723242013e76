#!/bin/bash
# Installs the program folder into a scratch folder and checks that it holds everything the
# programs need: the files a user sees are the program folder's own, the platform plugins are
# there, and every library that a file in it names is found inside it, or is one of the system's
# own (the list in <system library list>).
# Usage: check.sh <build folder> <system library list>
set -euo pipefail

build=$1
system_libraries=$2
# The programs refuse a folder whose path contains "temp", in any letter case.
while :; do
    scratch=$(mktemp -d /tmp/tarvolen-bundle-XXXXXX)
    case "${scratch,,}" in *temp*) rmdir "$scratch" ;; *) break ;; esac
done
trap 'rm -rf "$scratch"' EXIT
folder="$scratch/Tarvolen"
cmake --install "$build" --prefix "$folder" >/dev/null

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

expected="Readme.html Readme.txt Tarvolen Uninstall Versions.txt dzentil.kqx ezentil.kqx lib zentil"
seen=$(cd "$folder" && echo *)
[ "$seen" = "$expected" ] || fail "the program folder holds: $seen"
for plugin in platforms/libqxcb.so platforms/libqwayland-egl.so platforms/libqwayland-generic.so; do
    [ -f "$folder/lib/plugins/$plugin" ] || fail "no $plugin"
done

while IFS= read -r -d '' file; do
    cmp -s -n 4 "$file" <(printf '\177ELF') || continue
    where=$(env -i ldd "$file")
    for name in $(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        grep -qxF "$name" "$system_libraries" && continue
        path=$(awk -v name="$name" '$1 == name && $2 == "=>" { print $3 }' <<<"$where")
        case "$path" in
        "$folder"/*) ;;
        *) fail "${file#"$folder"/} needs $name from ${path:-nowhere}" ;;
        esac
    done
done < <(find "$folder" -type f -print0)

[ "$failures" -eq 0 ] || exit 1
echo "The program folder holds everything its programs need."

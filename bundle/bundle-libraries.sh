#!/bin/bash
# Lays the libraries and Qt plugins that the installed programs need into the program folder's
# lib/: each library that a program, a plugin or a bundled library names, except the system's own,
# copied under its soname and made to look for its own needs beside itself first.
# Usage: bundle-libraries.sh <program folder> <Qt plugin folder> <system library list>
set -euo pipefail

folder=$1
qt_plugins=$2
system_libraries=$3
lib="$folder/lib"

# X11 and Wayland, with what each needs to draw, decorate windows and take composed keys.
plugins=(
    platforms/libqxcb.so
    xcbglintegrations/libqxcb-glx-integration.so
    xcbglintegrations/libqxcb-egl-integration.so
    platforms/libqwayland-egl.so
    platforms/libqwayland-generic.so
    wayland-shell-integration/libxdg-shell.so
    wayland-shell-integration/libwl-shell-plugin.so
    wayland-decoration-client/libbradient.so
    wayland-graphics-integration-client/libqt-plugin-wayland-egl.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so
)

needed() {
    readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}

# Copies $1 to $2 and points its library search at $3 (relative to the copy).
place() {
    cp -L "$1" "$2"
    chmod 644 "$2"
    patchelf --set-rpath "$3" "$2"
}

gather() {
    local name path where
    # Where the loader finds each library for this file, with nothing from the environment.
    where=$(env -i ldd "$1")
    for name in $(needed "$1"); do
        if grep -qxF "$name" "$system_libraries" || [ -e "$lib/$name" ]; then
            continue
        fi
        path=$(awk -v name="$name" '$1 == name && $2 == "=>" { print $3 }' <<<"$where")
        [ -n "$path" ] || { echo "bundle: $1 needs $name, which is not installed" >&2; exit 1; }
        place "$path" "$lib/$name" '$ORIGIN'
        gather "$lib/$name"
    done
}

# A second install into the same folder starts afresh, so that nothing stale stays behind.
mkdir -p "$lib"
find "$lib" -maxdepth 1 -name '*.so*' -delete
rm -rf "$lib/plugins"

for program in Tarvolen Uninstall zentil; do
    gather "$folder/$program"
done
for plugin in "${plugins[@]}"; do
    mkdir -p "$lib/plugins/$(dirname "$plugin")"
    place "$qt_plugins/$plugin" "$lib/plugins/$plugin" '$ORIGIN/../..'
    gather "$lib/plugins/$plugin"
done

#!/bin/bash
# Runs the installed Tarvolen, with the locker open, under GNOME Shell as a login starts it:
# gnome-session --builtin starts gnome-shell headless on Wayland (a virtual monitor, private
# session and system buses), and Tarvolen has its menu entry. Once as a native Wayland window,
# once through XWayland (where the session also reaches it over XSMP). A logout brings GNOME's
# own dialog and no menu of ours; the dialog names Tarvolen and its reason; "Cancel" keeps the
# session and the open locker; "Log Out" locks every file before the session is over. Keys go in
# through the shell's virtual keyboard (unsafe mode). Run by hand; not part of ./test.sh.
# Pictures land in build/gnome-shell/.
# Usage: tests/e2e/gnome-shell.sh [build folder]   (build/test by default, built if need be)
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ -z "${SHELL_CHECK_BUS:-}" ]; then
    scripts/install-deps.sh gnome-shell
    SHELL_CHECK_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi
build=$(realpath "${1:-build/test}")
out=$PWD/build/gnome-shell
rm -rf "$out" && mkdir -p "$out"
cmake --build "$build" -j 2 --target Tarvolen Uninstall zentil >/dev/null

work=$(mktemp -d /var/tmp/tarvolen-shell-XXXXXX)
program=$work/Tarvolen
system_bus="" session="" tarvolen=""
cleanup() {
    for pid in $tarvolen $session $system_bus; do kill "$pid" 2>/dev/null || true; done
    wait
    rm -rf "$work"
}
trap cleanup EXIT
pictures=$out
. tests/e2e/session-helpers.sh
call() { # destination path method arguments...
    gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null
}
manager() { call org.gnome.SessionManager /org/gnome/SessionManager "org.gnome.SessionManager.$1" "${@:2}"; }
running() { [ "$(manager IsSessionRunning)" = "(true,)" ]; }
inhibited() { [ "$(manager IsInhibited 1)" = "(true,)" ]; }
js() {
    local result
    result=$(call org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Eval "$1") &&
        [[ $result == "(true, "* ]] && echo "$result"
}
shell_up() { js 1 | grep -q "^(true,"; }
# Presses keys (X keysyms) on the shell's own virtual keyboard.
keys() {
    js "const C = imports.gi.Clutter, t = imports.gi.GLib.get_monotonic_time();
        global.tvKeys ??= C.get_default_backend().get_default_seat()
            .create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE);
        for (const k of [$*]) { global.tvKeys.notify_keyval(t, k, C.KeyState.PRESSED);
                                global.tvKeys.notify_keyval(t, k, C.KeyState.RELEASED); }" >/dev/null
}
windows() { js "global.get_window_actors().map(a => a.meta_window.get_title()).join('|')"; }
# The application that the shell takes Tarvolen's window for. The window is made active, out of
# the overview in which the session starts.
window_app() {
    js "imports.ui.main.overview.hide();
        const w = global.get_window_actors().map(a => a.meta_window)
            .find(w => w.get_title() === 'Tarvolen v3.0');
        w.activate(global.get_current_time());
        imports.gi.Shell.WindowTracker.get_default().get_window_app(w).get_name()"
}
# Every text shown in the shell's modal dialogs.
dialog() {
    js "const f = a => (a instanceof imports.gi.Clutter.Text && a.is_mapped() ? [a.text] : [])
            .concat(...a.get_children().map(f));
        f(imports.ui.main.layoutManager.modalDialogGroup).join('|')"
}
screenshot() {
    call org.gnome.Shell.Screenshot /org/gnome/Shell/Screenshot org.gnome.Shell.Screenshot.Screenshot \
        false false "$1" >/dev/null
}
picture_failure=screenshot

mkdir -p "$work/config/gnome-session/sessions" "$work/data/applications" "$work/home" "$work/run" \
    "$work/bin"
chmod 700 "$work/run"
cmake --install "$build" --prefix "$program" >/dev/null
printf '[GNOME Session]\nName=Tarvolen check\nRequiredComponents=org.gnome.Shell;\n' \
    >"$work/config/gnome-session/sessions/tarvolen.session"
sed -e 's|^Exec=.*|Exec=gnome-shell --headless --wayland --virtual-monitor 1280x800 --unsafe-mode|' \
    /usr/share/applications/org.gnome.Shell.desktop >"$work/data/applications/org.gnome.Shell.desktop"
sed -e "s|<listen>.*</listen>|<listen>unix:path=$work/system_bus</listen>|" \
    -e '/<user>/d' -e '/<pidfile>/d' -e '/servicehelper/d' -e '/servicedir/d' \
    /usr/share/dbus-1/system.conf \
    >"$work/system.conf"
dbus-daemon --config-file="$work/system.conf" --nofork --nosyslog 2>/dev/null &
system_bus=$!
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus HOME=$work/home \
    XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/home/data XDG_RUNTIME_DIR=$work/run \
    XDG_DATA_DIRS=$work/data:/usr/share XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland \
    GSETTINGS_BACKEND=memory
unset DISPLAY WAYLAND_DISPLAY SESSION_MANAGER DESKTOP_SESSION
"$program/Tarvolen" --add-to-menu >/dev/null
printf '#!/bin/sh\necho "$1" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
count() { js "global.get_window_actors().filter(a => a.meta_window.get_pid() === $tarvolen).length"; }
no_menu() { for _ in $(seq 20); do [ "$(count)" = "(true, '1')" ] || return 1; sleep 0.1; done; }
plain() { grep -q -x "note 1" "$program/Locker/1.txt"; }
locked() { [ "$(setting Files)" = 1 ] && ! grep -r -q -x -e "note [0-9]*" "$program/Locker"; }
asks() { dialog | grep -q "Tarvolen|The open locker is locked first"; }
typed() { keys "$(printf '%s' "$1" | od -An -tu1 | tr -s ' \n' ',' | sed 's/^,//;s/,$//')"; }

# A session with GNOME Shell, and in it Tarvolen (on Qt's platform $1) with the locker open.
start() {
    gnome-session --builtin --session=tarvolen >>"$work/gnome-session.log" 2>&1 &
    session=$!
    within 300 running || fail "gnome-session did not start"
    within 300 shell_up || fail "GNOME Shell did not start"
    keys # a new virtual keyboard loses the first keys
    local shell_env
    shell_env=$(tr '\0' '\n' <"/proc/$(pgrep -P "$session" -x gnome-shell | head -n 1)/environ")
    rm -f "$work/opened"
    env $(grep -E '^(SESSION_MANAGER|DISPLAY|WAYLAND_DISPLAY)=' <<<"$shell_env") \
        PATH="$work/bin:$PATH" QT_QPA_PLATFORM="$1" "$program/Tarvolen" >>"$work/tarvolen.log" 2>&1 &
    tarvolen=$!
    within 300 window_app >/dev/null || fail "no Tarvolen window"
    [ "$(window_app)" = "(true, '\"Tarvolen\"')" ] || fail "the shell knows the window as $(window_app)"
    local times=2
    [ -z "$(setting Psetting)" ] || times=1
    for _ in $(seq "$times"); do
        window_app >/dev/null && sleep 1 && typed secret && keys 65293 && sleep 1
    done
    within 100 test -s "$work/opened" || fail "the locker did not open"
    for i in $(seq 20); do echo "note $i" >"$program/Locker/$i.txt"; done
    within 50 inhibited || fail "IsInhibited(1) is false while the locker is open"
    echo "  The shell knows the window as Tarvolen's; the logout is inhibited."
}

# A logout brings the shell's dialog, naming Tarvolen and its reason, and no menu of ours.
logout() {
    manager Logout 0 >/dev/null || fail "Logout(0) was refused"
    within 100 asks || fail "the dialog does not name Tarvolen: $(dialog)"
    no_menu || fail "Tarvolen opened a window over the shell's dialog"
    screenshot "$out/$1.png"
}

for platform in wayland xcb; do
    echo "Tarvolen on $platform:"
    start "$platform"
    logout "$platform-dialog"
    keys 65307 # Escape: Cancel
    sleep 3
    running && alive "$tarvolen" && plain && [ "$(dialog)" = "(true, '\"\"')" ] ||
        fail "Cancel did not keep the session and the open locker"
    echo "  Logout, the shell's dialog names Tarvolen; Cancel keeps the session and the locker."
    logout "$platform-dialog-again"
    keys 65289 65293 # Tab from Cancel to Log Out, Return
    within 900 ended "$session" || fail "the session did not end"
    locked || fail "the session ended before the locker was locked"
    ended "$tarvolen" || fail "Tarvolen outlived the session"
    echo "  Log Out: every file is locked before the session is over."
done
echo "PASS: the end of a session under GNOME Shell. Pictures: $out"

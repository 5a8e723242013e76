#!/bin/bash
# gnome-session.sh's road under GNOME Shell as a login starts it (headless, Wayland, unsafe mode): the shell
# knows Tarvolen's window; a logout brings its dialog naming Tarvolen and no menu of ours; Cancel keeps the
# session and the open locker; Log Out locks every file before the session ends. Natively on Wayland, a message box
# opens over the main window, and a second start from the shell brings the minimized window back with the focus.
# Usage: gnome-shell.sh [build]
GNOME_SHELL_ROAD=1 . "$(dirname "$0")/gnome-session.sh"
call_on() { gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null; }
js() { local r; r=$(call_on org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Eval "$1") && [[ $r == "(true, "* ]] && echo "$r"; }
keys() { # X keysyms; the virtual keyboard is made before the first keys, which it would lose
    js "const C = imports.gi.Clutter, t = imports.gi.GLib.get_monotonic_time(); global.k ??= C.get_default_backend()
        .get_default_seat().create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE);
        for (const k of [$*]) [1, 0].forEach(s => global.k.notify_keyval(t, k, s));" >/dev/null; }
win="const win = t => global.get_window_actors().map(a => a.meta_window).find(w => w.get_title() === t),
    w = win('Tarvolen v3.0'), app = imports.gi.Shell.WindowTracker.get_default().get_window_app(w);"
window_app() { # made active, out of the first overview, and known as Tarvolen's
    js "$win imports.ui.main.overview.hide(); w.activate(global.get_current_time()); if (app.get_name() !== 'Tarvolen')
        throw 0" >/dev/null; }
box_over_main() { # within the main window's frame, centred across it
    js "$win const m = w.get_frame_rect(), b = win('Excuse me').get_frame_rect(); if (!m.contains_rect(b) ||
        Math.abs(2 * (b.x - m.x) + b.width - m.width) > 2) throw 0" >/dev/null; }
in_front() { js "$win if (w.minimized || !w.has_focus()) throw 0" >/dev/null; }
asks() { # the shell's modal dialogs name Tarvolen, which shows no other window than its own
    js "const f = a => (a instanceof imports.gi.Clutter.Text && a.is_mapped() ? [a.text] : []).concat(...a.get_children()
        .map(f)); f(imports.ui.main.layoutManager.modalDialogGroup).join('|') + '|' + global.get_window_actors()
        .filter(a => a.meta_window.get_pid() === $tarvolen).length" | grep -q "Tarvolen|The open locker is locked first|.*|1\"')"; }
screenshot="call_on org.gnome.Shell.Screenshot /org/gnome/Shell/Screenshot org.gnome.Shell.Screenshot.Screenshot false false"

mkdir -p "$work/data/applications" "$work/run" && chmod 700 "$work/run"
printf '[GNOME Session]\nName=S\nRequiredComponents=org.gnome.Shell;\n' >"$work/config/gnome-session/sessions/s.session"
sed 's|^Exec=.*|Exec=gnome-shell --headless --wayland --virtual-monitor 1280x800 --unsafe-mode|' \
    /usr/share/applications/org.gnome.Shell.desktop >"$work/data/applications/org.gnome.Shell.desktop"
export XDG_RUNTIME_DIR=$work/run XDG_DATA_DIRS=$work/data:/usr/share XDG_DATA_HOME=$work/home/data \
    XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=memory
"$program/Tarvolen" --add-to-menu >/dev/null
for platform in wayland xcb; do # native, and through XWayland where XSMP reaches Tarvolen too
    menu=$([ $platform = wayland ] && echo true || echo false) # then without: a hidden one while it runs
    $menu || rm "$XDG_DATA_HOME"/applications/tarvolen-* "$XDG_DATA_HOME"/icons/hicolor/32x32/apps/tarvolen-*
    gnome-session --builtin --session=s >>"$work/gnome-session.log" 2>&1 & session=$!
    within 300 keys || fail "GNOME Shell did not start"
    env $(js "['SESSION_MANAGER', 'DISPLAY', 'XAUTHORITY', 'WAYLAND_DISPLAY'].map(v => v + '=' + imports.gi.GLib.getenv(v))
        .join(' ')" | sed "s/^(true, '\"\(.*\)\"')$/\1/") \
        PATH="$work/bin:$PATH" QT_QPA_PLATFORM=$platform "$program/Tarvolen" >>"$work/tarvolen.log" 2>&1 &
    tarvolen=$! && rm -f "$work/opened"
    within 300 window_app || fail "no window of Tarvolen's, as the shell knows it"
    if [ $platform = wayland ]; then # an empty password's box, Return to close it
        sleep 1 && keys 65293 && within 100 box_over_main || fail "the message box opened away from the main window"
        $screenshot "$out/shell-wayland-box.png" >/dev/null && keys 65293
    fi
    for _ in 1 2 3; do # "secret": once to open, twice to set, again if keys went astray
        window_app && sleep 1 && keys 115,101,99,114,101,116,65293 && within 40 test -s "$work/opened" && break
    done
    within 100 test -s "$work/opened" || fail "the locker did not open"
    for i in $(seq 20); do echo "note $i" >"$program/Locker/$i.txt"; done
    if [ $platform = wayland ]; then # a second start from the shell, at the time of a click, brings the window back
        js "$win w.minimize(); app.launch(global.display.get_current_time_roundtrip(), -1,
            imports.gi.Shell.AppLaunchGpu.DEFAULT)" >/dev/null
        within 100 in_front || fail "a second start left the window minimized or without the focus"
    fi
    # GNOME Shell 43 finds a new entry by its name only seconds after it was written
    within 100 js "if (!imports.gi.Shell.AppSystem.get_default().lookup_app('$(basename "$XDG_DATA_HOME"/*/tarvolen-*)'))
        throw 0" || fail "the shell knows no entry of Tarvolen's"
    for step in cancel log-out; do
        manager Logout 0 >/dev/null && within 100 asks || fail "no dialog naming Tarvolen, or a window of ours over it"
        $screenshot "$out/shell-$platform-$step.png" >/dev/null
        [ $step = cancel ] && keys 65307 && sleep 3 && running && plain && ! asks && continue
        [ $step = log-out ] || fail "Cancel did not keep the session and the open locker"
        keys 65289,65293 || true # Tab to Log Out, Return; the shell may be gone before it answers
        within 900 ended "$session" && locked || fail "the session ended before the locking"
        $menu || [ -z "$(find "$XDG_DATA_HOME" -name 'tarvolen-*')" ] || fail "the hidden entry stayed"
    done
done
echo "PASS: a logout under GNOME Shell. Pictures: $out"

# Shared by the roads through the end of a session (xsm.sh, gnome-session.sh), which set $work
# (logs and settings) and $pictures (where a failure's picture and logs go).

fail() {
    echo "FAIL: $*" >&2
    import -window root "$pictures/failure.png" 2>/dev/null || true
    cp "$work"/*.log "$pictures/" 2>/dev/null || true
    exit 1
}
within() { # tenths of a second, command...
    local tries=$1
    shift
    for _ in $(seq "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}
alive() { kill -0 "$1" 2>/dev/null; }
ended() { ! alive "$1"; }
setting() { sed -n "s/^$1=//p" "$work/config/tarvolen/vemb.ini" 2>/dev/null; }

# Finds Tarvolen's window ($main), types the password where it asks (twice for a first password,
# once for a stored one), waits until the locker is open and puts a few files in it.
open_locker() {
    main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Tarvolen v3.0$' | head -n 1) || true
    [ -n "$main" ] || fail "no Tarvolen window"
    local times=2
    [ -z "$(setting Psetting)" ] || times=1
    for _ in $(seq "$times"); do
        xdotool windowactivate --sync "$main" type --delay 40 secret
        xdotool key Return
        sleep 1
    done
    within 100 test -s "$work/opened" || fail "the locker did not open"
    for i in $(seq 20); do echo "note $i" >"$program/Locker/$i.txt"; done
}

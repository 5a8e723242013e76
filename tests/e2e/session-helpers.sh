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

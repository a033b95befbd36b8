# Sourced by scripts that run Windows programs against live pages:
#   start_live_sidecar ROOT...   starts sidecar.mjs serving the ROOT folders
#                                and exports VXCR_LIVE_PORT (its port)
#   stop_live_sidecar            ends it, and with it its Chromium
# The sidecar ends when its standard input closes: that input is a pipe the
# calling script holds, so the sidecar goes with the script whatever ends it.

start_live_sidecar() {
    local here roots=() root
    here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
    for root in "$@"; do
        roots+=(--root "$root")
    done
    coproc LIVE_SIDECAR { exec node "$here/sidecar.mjs" "${roots[@]}"; }
    local word value port=""
    while read -r -t 60 word value <&"${LIVE_SIDECAR[0]}"; do
        if [ "$word" = "listening" ]; then
            port=$value
            break
        fi
    done
    if [ -z "$port" ]; then
        echo "the live-page sidecar did not start" >&2
        return 1
    fi
    export VXCR_LIVE_PORT=$port
}

stop_live_sidecar() {
    [ -n "${LIVE_SIDECAR_PID:-}" ] || return 0
    local pid=$LIVE_SIDECAR_PID
    exec {LIVE_SIDECAR[1]}>&-
    wait "$pid" 2>/dev/null
    unset VXCR_LIVE_PORT
}

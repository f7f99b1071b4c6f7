# Sourced by the scripts that need a private X server: start_xvfb WIDTHxHEIGHT
# starts Xvfb at 96 dpi on a display number drawn at random and exports
# DISPLAY once the server itself says it listens there (-displayfd): a server
# elsewhere on this machine that answers at the same number is never taken
# for ours. A server in another sandbox of the same machine may hold a low
# display number without its lock file being visible here, which is why the
# lowest free number (Xvfb -displayfd alone) is not used. -noreset: else the
# server resets whenever its last client leaves, refusing whoever connects
# meanwhile, as the program may while the tests' short-lived xdotool calls
# come and go. Needs $work, a scratch folder; the server is one of the
# caller's jobs.
start_xvfb() {
    local size=$1 n server deadline _
    for _ in 1 2 3 4 5; do
        n=$(shuf -i 200-899 -n 1)
        : >"$work/xvfb.ready"
        Xvfb ":$n" -screen 0 "${size}x24" -dpi 96 -nolisten tcp -noreset -displayfd 3 \
            3>"$work/xvfb.ready" 2>"$work/xvfb.log" &
        server=$!
        deadline=$((SECONDS + 60))
        while kill -0 "$server" 2>/dev/null && [ ! -s "$work/xvfb.ready" ] \
            && [ "$SECONDS" -lt "$deadline" ]; do
            sleep 0.05
        done
        if [ "$(cat "$work/xvfb.ready")" = "$n" ] && kill -0 "$server" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    done
    echo "Xvfb did not start (load $(cut -d' ' -f1-3 /proc/loadavg))"
    cat "$work/xvfb.log"
    return 1
}

# Sourced by the scripts that need a private X server: start_xvfb WIDTHxHEIGHT
# starts Xvfb at 96 dpi on a display number drawn at random, keeps it only
# once the server answering there is seen to be ours (its screen has that
# size), and exports DISPLAY. A server in another sandbox of the same machine
# may hold a low display number without its lock file being visible here,
# which is why the lowest free number (Xvfb -displayfd) is not used. Needs
# $work, a scratch folder; the server is one of the caller's jobs.
start_xvfb() {
    local size=$1 n _
    for _ in 1 2 3 4 5; do
        n=$(shuf -i 200-899 -n 1)
        Xvfb ":$n" -screen 0 "${size}x24" -dpi 96 -nolisten tcp 2>"$work/xvfb.log" &
        local server=$!
        for _ in $(seq 200); do
            kill -0 "$server" 2>/dev/null || break
            if xdpyinfo -display ":$n" >"$work/xdpyinfo" 2>/dev/null; then
                if grep -q "$size pixels" "$work/xdpyinfo"; then
                    export DISPLAY=":$n"
                    return 0
                fi
                break
            fi
            sleep 0.05
        done
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    done
    echo "Xvfb did not start"
    cat "$work/xvfb.log"
    return 1
}

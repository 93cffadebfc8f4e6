# The sampling both soaks share (sourced after tests/e2e/x_session.sh): every SAMPLE_EVERY
# seconds for SOAK_SECONDS the program's resident memory, open descriptors and threads, and
# every KILL_EVERY seconds its trace viewer killed. Samples go to stdout and
# $WORK/samples.txt; the program's stderr is $WORK/sample.err.

status_field() {  # status_field PID NAME: a number from /proc/PID/status
  awk -v name="$2:" '$1 == name { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

# soak_samples PID NAME FIND_VIEWER: FIND_VIEWER is a command that prints the viewer's pid,
# or nothing while none runs. Sets viewers_seen to the number of viewers it met.
soak_samples() {
  local program=$1 name=$2 find_viewer=$3 t viewer start=$SECONDS next_kill=$KILL_EVERY
  local -A viewers=()
  echo "# seconds rss_kb fds threads viewer_pid viewer_rss_kb"
  for ((t = 0; t <= SOAK_SECONDS; t += SAMPLE_EVERY)); do
    while ((SECONDS - start < t)); do sleep 0.2; done
    kill -0 "$program" 2>/dev/null ||
      fail "$name ended during the soak: $(tail -3 "$WORK/sample.err")"
    viewer=$($find_viewer)
    [[ -n "$viewer" ]] && viewers[$viewer]=1
    printf '%d %d %d %d %s %d\n' "$t" "$(status_field "$program" VmRSS)" \
      "$(find "/proc/$program/fd" -mindepth 1 -maxdepth 1 | wc -l)" \
      "$(status_field "$program" Threads)" "${viewer:--}" \
      "$([[ -n "$viewer" ]] && status_field "$viewer" VmRSS || echo 0)" |
      tee -a "$WORK/samples.txt"
    if ((t >= next_kill && t < SOAK_SECONDS)); then
      [[ -n "$viewer" ]] && kill -KILL "$viewer" 2>/dev/null || true
      next_kill=$((next_kill + KILL_EVERY))
    fi
  done
  viewers_seen=${#viewers[@]}
}

# soak_summary EXIT_STATUS: first and last values, the largest of each, the viewers met.
soak_summary() {
  awk -v viewers="$viewers_seen" -v status="$1" '
    !/^#/ { n++; if (n == 1) { r0 = $2; f0 = $3; t0 = $4 }
            r = $2; f = $3; th = $4
            if ($2 > rmax) rmax = $2; if ($3 > fmax) fmax = $3; if ($4 > tmax) tmax = $4 }
    END { printf "summary: rss %d -> %d KB (max %d), fds %d -> %d (max %d), threads %d -> %d (max %d), %d viewers, exit status %d\n",
                 r0, r, rmax, f0, f, fmax, t0, th, tmax, viewers, status }' "$WORK/samples.txt"
}

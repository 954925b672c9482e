# Sourced by the JACK benchmarks: the options that start their private server with or without
# real-time scheduling. jack_server_mode MODE (auto, yes or no) sets the array jack_mode and prints
# which it is. auto: real-time where the machine grants it (root, or an rtprio limit: `chrt` works);
# without it every client's process thread competes with everything else, and xruns come from the
# machine.
jack_server_mode() {
  local mode="$1"
  if [ "$mode" = auto ]; then
    if chrt -f 10 true 2>/dev/null; then mode=yes; else mode=no; fi
  fi
  if [ "$mode" = yes ]; then
    jack_mode=(-R -P 70)
    echo "JACK server: real-time (SCHED_FIFO 70)"
  else
    jack_mode=(--no-realtime)
    echo "JACK server: without real-time scheduling"
  fi
}

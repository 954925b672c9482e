#!/usr/bin/env bash
# Runs ardour-session.lua in Ardour's headless Lua session with a private HOME and session folder,
# then reads the plug-in's state as the session's last save wrote it (the newest of the state folders
# Ardour keeps per plug-in): the panel-only setting the preset carried came back with the session.
#   ardour-session.sh BUNDLE_PARENT_DIR
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/qanagui-ardour.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
output=$(HOME="$work/home" LV2_PATH="$1" QANAGUI_SESSION_DIR="$work/session" \
  timeout 120 ardour7-lua "$(dirname "$0")/ardour-session.lua" 2>&1) || true
echo "$output" | grep -v "^\[WARNING\]\|queue call-slot\|Butler" || true
echo "$output" | grep -q "analyzer session: ok"
state=$(ls -d "$work"/session/plugins/*/state* | sort -V | tail -n 1)/state.ttl
echo "the plug-in's saved state, $state:"
grep "analyzer#" "$state"
grep -q 'analyzer#phasen> "1"' "$state"

#!/usr/bin/env bash
# Soak run: scripts/soak.sh [minutes]   (30 by default)
# Starts one devhost with the missions plugin on a free port and drives it for that long with
# build/bin/devhost_soak: a churn of logins and logouts, gameflow changes, player-update pushes,
# remote mission edits, the plugin's viewed and opt calls, 50 readers of the missions route and
# 20 event-stream clients that connect and drop. It prints per-cycle figures (requests, errors,
# the plugin's live memory, the host's resident memory) and a summary, and fails on an
# unexpected answer, on plugin memory that does not return to its figure before the first
# cycle, on host resident memory more than 64 MiB past its figure after the first cycle (room
# for the read-out histories to fill up), or on a devhost that does not stop cleanly afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
scripts/build.sh default devhost pyx_missions_plugin devhost_soak >/dev/null

log=$(mktemp)
build/bin/devhost --port 0 --quiet >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -f "$log"' EXIT
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's|^devhost listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$log")
  [[ -n $port ]] && break
  sleep 0.1
done
if [[ -z $port ]]; then
  echo "soak: devhost did not start:" >&2
  cat "$log" >&2
  exit 1
fi

status=0
build/bin/devhost_soak --port "$port" --pid "$pid" --minutes "$minutes" || status=$?
kill -TERM "$pid"
if ! wait "$pid"; then
  echo "soak: devhost did not stop cleanly; its output:" >&2
  cat "$log" >&2
  status=1
fi
exit "$status"

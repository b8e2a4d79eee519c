#!/usr/bin/env bash
# Times dump mode over 50 registered repositories with 3 worktrees each against a shell loop that
# runs the same 50 `git worktree list --porcelain` commands, and prints the ratio.
# Usage: bench/dump_bench.sh [path to a release orvo binary]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
orvo=${1:-}
if [ -z "$orvo" ]; then
  cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORVO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build/release" >/dev/null
  orvo="$root/build/release/src/orvo_app/orvo"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null
export GIT_AUTHOR_NAME=bench GIT_AUTHOR_EMAIL=bench@orvo.invalid
export GIT_COMMITTER_NAME=bench GIT_COMMITTER_EMAIL=bench@orvo.invalid
unset RUST_LOG NO_COLOR ORVO_DUMP
mkdir -p "$HOME"

repos=()
for i in $(seq 1 50); do
  repo="$work/src/repo$i"
  git init -q -b main "$repo"
  git -C "$repo" commit -q --allow-empty -m init
  for w in a b; do
    git -C "$repo" worktree add -q -b "$w" "$work/wt/repo$i/$w"
  done
  ORVO_DUMP=1 "$orvo" "$repo" >/dev/null
  repos+=("$repo")
done

rounds=20
orvo_rounds() {
  for _ in $(seq 1 $rounds); do
    ORVO_DUMP=1 "$orvo" >/dev/null
  done
}
git_rounds() {
  for _ in $(seq 1 $rounds); do
    for repo in "${repos[@]}"; do
      git -C "$repo" worktree list --porcelain >/dev/null
    done
  done
}
# The seconds (to the millisecond) a command takes, from bash's own clock: BSD date has no %N.
seconds() {
  local TIMEFORMAT=%3R
  { time "$@" >/dev/null 2>&1; } 2>&1
}

orvo_s=$(seconds orvo_rounds)
git_s=$(seconds git_rounds)

lines=$(ORVO_DUMP=1 "$orvo" | wc -l | tr -d ' ')
echo "listing: $lines lines"
awk -v o="$orvo_s" -v g="$git_s" -v r="$rounds" 'BEGIN {
  printf "orvo dump:     %d us per run\n", o / r * 1e6
  printf "git loop:      %d us per run\n", g / r * 1e6
  printf "ratio orvo/git: %.3f (overhead %.1f %%)\n", o / g, (o / g - 1) * 100
}'

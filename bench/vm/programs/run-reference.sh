#!/usr/bin/env bash
# Times the reference implementations of the virtual machine's benchmark programs: each
# NAME.lua under lua5.4 and each NAME.mod compiled natively with gm2 -O2 (PIM mode), and
# checks that both print the same checksum.
#   ./run-reference.sh            every program
#   ./run-reference.sh NAME ...   those
# Needs the Debian packages lua5.4 and gm2.
set -uo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names=("$@")
[ ${#names[@]} -eq 0 ] && names=(sieve fib quicksort nbody matmul words churn)

seconds() { # command...: runs it; out is its output's last line, time its seconds
  local start end
  start=$(date +%s%N)
  out=$("$@" | tail -1)
  end=$(date +%s%N)
  time=$(printf '%d.%02d' $(((end - start) / 1000000000)) $(((end - start) / 10000000 % 100)))
}

printf '%-10s %10s %10s  %s\n' program lua gm2-O2 checksum
failed=0
for name in "${names[@]}"; do
  if ! env -u LIBRARY_PATH gm2 -fpim -flibs=log,pim,iso -O2 "$name.mod" -o "$work/$name" -lm \
       >"$work/$name.log" 2>&1; then
    echo "$name: gm2 could not compile it"; cat "$work/$name.log"; failed=1; continue
  fi
  seconds lua5.4 "$name.lua"; luaOut=$out; luaTime=$time
  seconds "$work/$name"; gm2Out=$out; gm2Time=$time
  status=${luaOut#checksum }
  if [ "$luaOut" != "$gm2Out" ]; then status="DIFFERENT: lua '$luaOut', gm2 '$gm2Out'"; failed=1; fi
  printf '%-10s %9ss %9ss  %s\n' "$name" "$luaTime" "$gm2Time" "$status"
done
exit $failed

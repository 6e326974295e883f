#!/usr/bin/env bash
# Compiles every program of this folder with GNU Modula-2 in PIM mode and compares what
# it writes with the recorded NAME.out (NAME.in as its input). A program with an
# expect-trap header is compared up to the trap; one with expect-error or gm2-skip is
# not run.
#   ./gm2-check.sh            check every program
#   ./gm2-check.sh NAME ...   check those
#   UPDATE=1 ./gm2-check.sh   write NAME.out from gm2's output instead (then review it:
#                             the outputs follow our formats where gm2's differ)
set -uo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp ./*.mod ./*.def "$work"/ 2>/dev/null
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in *.mod; do grep -q "^MODULE" "$f" && names+=("${f%.mod}"); done
fi
gm2c() { env -u LIBRARY_PATH gm2 -fpim -flibs=log,pim,iso -fsoft-check-all "$@" -lm; }
# The implementation modules first: gm2 links the objects it finds beside a program.
for f in "$work"/*.mod; do
  grep -q "^IMPLEMENTATION MODULE" "$f" && (cd "$work" && gm2c -c "$(basename "$f")" >/dev/null 2>&1)
done
failed=0
for name in "${names[@]}"; do
  grep -q "expect-error:\|gm2-skip:" "$name.mod" && continue
  if ! (cd "$work" && gm2c "$name.mod" -o "$name" >"$name.log" 2>&1); then
    echo "FAIL $name: gm2 could not compile it"; sed 's/^/  /' "$work/$name.log"; failed=1; continue
  fi
  input=/dev/null
  [ -f "$name.in" ] && input="$PWD/$name.in"
  (cd "$work" && timeout 20 "./$name" <"$input" >"$name.got" 2>/dev/null)
  if [ "${UPDATE:-0}" = 1 ]; then
    cp "$work/$name.got" "$name.out"; echo "wrote $name.out"; continue
  fi
  if grep -q "expect-trap:" "$name.mod"; then
    # gm2 stops where we trap (or, where it has no check, crashes a little earlier with
    # its last line unflushed): what both wrote must agree.
    n=$(wc -c <"$name.out"); g=$(wc -c <"$work/$name.got"); [ "$g" -lt "$n" ] && n=$g
    if ! cmp -s -n "$n" "$work/$name.got" "$name.out"; then
      echo "FAIL $name: output before the trap differs"; failed=1
    fi
  elif ! cmp -s "$work/$name.got" "$name.out"; then
    echo "FAIL $name"; diff "$name.out" "$work/$name.got" | head -20; failed=1
  fi
done
exit $failed

#!/usr/bin/env bash
# Builds the benchmarks (Release, in build-bench/ beside the sources), runs the machine
# (interpreted, and translated into the processor's code, each also with a breakpoint set
# on a line never reached), Lua 5.4 and gm2 -O2 on the six programs, NEW and DISPOSE
# against Lua 5.4 and the compiler against gm2 -c, and prints processor times and ratios
# with the goals: the interpreter at most 1.0x Lua, the translated code at most 2.0x
# gm2 -O2 on the same algorithm (and, beside it, the time of gm2 -O2 with options that
# keep every call a call, as the machine's frames need). gm2 -O2 turns fib's double
# recursion into a loop around one call, adding up the results in another order, and
# inlines it into itself: 1.3 million of the program's 30 million calls remain. Every call
# here keeps its frame, and a sum that overflows must trap where the program's order puts
# it, so fib's goal is against gm2 -O2 keeping its calls. NEW and DISPOSE
# at most 1.0x Lua below 2 L + 64 MB of memory, the compiler (and compiling, installing
# and starting with translation) at least 200x faster than gm2 -c. Every program must
# print what its NAME.out says.
#   bench/vm/compare.sh            build and run everything
#   BUILD=dir bench/vm/compare.sh  use (and make) another build directory
# Needs lua5.4 and gm2 (Debian: apt-get install -y lua5.4 gm2) for the comparisons.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMARIN_TESTS=OFF >/dev/null
ninja -C "$build" vm_bench >/dev/null
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$build/bench/vm/vm_bench" --benchmark_format=json 2>/dev/null >"$out"

# One benchmark a JSON object, one field a line: its name, the manual (processor) time in
# ms, and for the churn its peak memory and limit. (The CSV report cannot hold counters
# that only some benchmarks have.)
awk '
  /"name":/ {
    line = $0; sub(/.*"name": "/, "", line); sub(/".*/, "", line)
    split(line, part, "/"); kind = part[1]; name = part[2]; names[name] = 1
  }
  /"error_occurred": true/ { time[kind, name] = "-" }
  /"real_time":/ && time[kind, name] != "-" { v = $2; sub(/,$/, "", v); time[kind, name] = v + 0 }
  /"peak_MB":/ { v = $2; sub(/,$/, "", v); peak[name] = v + 0 }
  /"limit_MB":/ { v = $2; sub(/,$/, "", v); limit[name] = v + 0 }
  END {
    printf "%-10s %10s %10s %10s %10s %10s %9s %9s %9s %9s %9s %9s\n", "program", "machine", "jit", "lua", "gm2-O2", "gm2-calls", "vm/lua", "vm/gm2", "jit/vm", "jit/lua", "jit/gm2", "jit/calls"
    split("sieve fib quicksort nbody matmul words", order, " ")
    # The programs whose calls gm2 -O2 removes: their goal is against gm2 keeping them.
    keeps["fib"] = 1
    for (i = 1; i <= 6; i++) {
      n = order[i]; m = time["Machine", n]; j = time["Jit", n]; l = time["Lua", n]; g = time["Gm2", n]
      c = time["Gm2Calls", n]
      printf "%-10s %8.1fms %8.1fms %8.1fms %8.1fms %8.1fms %8.2fx %8.2fx %8.2fx %8.2fx %8.2fx %8.2fx%s\n", n, m, j, l, g, c,
             (l > 0 ? m / l : 0), (g > 0 ? m / g : 0), (m > 0 ? j / m : 0), (l > 0 ? j / l : 0),
             (g > 0 ? j / g : 0), (c > 0 ? j / c : 0),
             ((n in keeps ? c : g) > 0 && j / (n in keeps ? c : g) > 2.0 ? "  jit over the goal" : "")
    }
    printf "\na breakpoint set on a line never reached (goal at most 1.05x):\n"
    for (i = 1; i <= 6; i++) {
      n = order[i]; m = time["Machine", n]; j = time["Jit", n]
      b = time["Breakpoint", n]; bj = time["BreakpointJit", n]
      printf "%-10s interpreted %8.1fms %6.2fx   translated %8.1fms %6.2fx\n", n, b,
             (m > 0 ? b / m : 0), bj, (j > 0 ? bj / j : 0)
    }
    m = time["Churn", "machine"]; l = time["Churn", "lua"]
    printf "\nNEW and DISPOSE: %.1fms, lua %.1fms: %.2fx (goal at most 1.0); peak %.1f MB (goal below %.1f MB)\n", m, l, (l > 0 ? m / l : 0), peak["machine"], limit["machine"]
    c = time["Compile", "10000lines"]; g = time["Gm2Compile", "10000lines"]
    printf "\ncompiling 10000 lines: %.1fms, gm2 -fpim -c %.0fms: %.0fx faster\n", c, g, (c > 0 ? g / c : 0)
    s = time["CompileAndStart", "10000lines"]
    printf "compiling, installing and running them translated: %.1fms: %.0fx faster\n", s, (s > 0 ? g / s : 0)
  }' "$out"

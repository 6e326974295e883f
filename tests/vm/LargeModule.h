// A generated module of any number of lines, for the tests of modules whose code passes
// what an object's 16-bit sections hold: procedures P0, P1, ... of loops and conditions,
// Total, which calls each twice inside a loop and a condition that reach over all of
// them, and Fail, which divides by its parameter; Total's value computed here as well.
#pragma once

#include <cstdint>
#include <string>

namespace LargeModule {

struct Module {
  std::string definition;
  std::string implementation;
  std::int32_t total = 0;    // what Total returns
  std::int32_t failLine = 0; // the line of Fail's division
};

// x MOD y as the language has it: 0 <= result < y for y > 0.
inline std::int32_t Mod(std::int32_t x, std::int32_t y) { return ((x % y) + y) % y; }

inline Module Make(const std::string& name, int lines) {
  Module m;
  m.definition = "DEFINITION MODULE " + name +
                 ";\n  PROCEDURE Total(): INTEGER;\n  PROCEDURE Fail(x: INTEGER): INTEGER;\nEND " +
                 name + ".\n";
  std::string& s = m.implementation;
  int n = 0;
  const auto line = [&](const std::string& text) {
    s += text + "\n";
    ++n;
  };
  line("IMPLEMENTATION MODULE " + name + ";");
  line("VAR calls: INTEGER;");
  // Each procedure takes 11 lines: 10 of its own and 1 of Total; Total and the rest 18.
  const int procedures = (lines - n - 18) / 11;
  for (int i = 0; i < procedures; ++i) {
    const std::string p = "P" + std::to_string(i), step = std::to_string(i % 7 + 1);
    line("PROCEDURE " + p + "(x: INTEGER): INTEGER;");
    line("VAR k, s: INTEGER;");
    line("BEGIN");
    line("  s := x; INC(calls);");
    line("  FOR k := 1 TO 10 DO");
    line("    IF (s + k) MOD 3 = 0 THEN s := s + k ELSE s := s - " + step + " END");
    line("  END;");
    line("  RETURN s MOD 1000");
    line("END " + p + ";");
    line("");
  }
  line("PROCEDURE Total(): INTEGER;");
  line("VAR t, round: INTEGER;");
  line("BEGIN");
  line("  t := 0;");
  line("  FOR round := 1 TO 1 DO");
  line("    IF t >= 0 THEN");
  for (int i = 0; i < procedures; ++i) {
    const std::string call = "t := (t + P" + std::to_string(i) + "(t MOD 100)) MOD 100000;";
    line("      " + call + " " + call);
  }
  line("    END");
  line("  END;");
  line("  RETURN t");
  line("END Total;");
  while (n < lines - 7) line("(* " + std::to_string(n) + " *)");
  line("PROCEDURE Fail(x: INTEGER): INTEGER;");
  line("BEGIN");
  m.failLine = n + 1;
  line("  RETURN 10 DIV x");
  line("END Fail;");
  line("BEGIN");
  line("  calls := 0");
  line("END " + name + ".");
  for (int i = 0; i < 2 * procedures; ++i) {
    std::int32_t sum = Mod(m.total, 100);
    for (int k = 1; k <= 10; ++k) sum = Mod(sum + k, 3) == 0 ? sum + k : sum - (i / 2 % 7 + 1);
    m.total = Mod(m.total + Mod(sum, 1000), 100000);
  }
  return m;
}

} // namespace LargeModule

-- Character processing: a text of 4000000 characters generated from a fixed seed,
-- then its words, letters, digits, capitals and lines counted and a hash of every word
-- taken; the checksum combines the counts.
local size = 4000000
local byte, char, upper = string.byte, string.char, string.upper
local parts = {}
local seed = 7
for i = 1, size do
  seed = seed * 16807 % 2147483647
  local r = seed % 64
  local c
  if r < 26 then c = 97 + r
  elseif r < 36 then c = 65 + r - 26
  elseif r < 46 then c = 48 + r - 36
  elseif r < 62 then c = 32
  else c = 10
  end
  parts[i] = c
end
local words, letters, digits, capitals, lines, hash = 0, 0, 0, 0, 0, 0
local inWord = false
for i = 1, size do
  local c = parts[i]
  if c == 32 or c == 10 then
    inWord = false
    if c == 10 then lines = lines + 1 end
  else
    if not inWord then words = words + 1; inWord = true end
    local cap = c
    if c >= 97 and c <= 122 then letters = letters + 1; cap = c - 32
    elseif c >= 65 and c <= 90 then letters = letters + 1; capitals = capitals + 1
    else digits = digits + 1
    end
    hash = (hash * 31 + cap) % 1000003
  end
end
print("checksum " .. (words * 1000000000 + letters * 100 + digits + capitals * 7 + lines * 13 + hash))

-- The sieve of Eratosthenes up to 2000000, three times; the checksum is the number of
-- primes found times the rounds.
local limit, rounds = 2000000, 3
local composite = {}
local count = 0
for round = 1, rounds do
  for i = 0, limit do composite[i] = false end
  local i = 2
  while i * i <= limit do
    if not composite[i] then
      local j = i * i
      while j <= limit do composite[j] = true; j = j + i end
    end
    i = i + 1
  end
  for k = 2, limit do
    if not composite[k] then count = count + 1 end
  end
end
print("checksum " .. count)

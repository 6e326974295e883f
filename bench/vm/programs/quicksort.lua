-- Quicksort of 1000000 pseudo-random numbers (Park and Miller's generator); the
-- checksum adds a sample of the sorted array and counts order violations.
local n = 1000000
local a = {}
local seed = 42
for i = 1, n do
  seed = seed * 16807 % 2147483647
  a[i] = seed % 1000000000
end
local function sort(lo, hi)
  while lo < hi do
    local pivot = a[(lo + hi) // 2]
    local i, j = lo, hi
    while i <= j do
      while a[i] < pivot do i = i + 1 end
      while a[j] > pivot do j = j - 1 end
      if i <= j then a[i], a[j] = a[j], a[i]; i = i + 1; j = j - 1 end
    end
    if j - lo < hi - i then sort(lo, j); lo = i else sort(i, hi); hi = j end
  end
end
sort(1, n)
local bad, sum = 0, 0
for i = 2, n do if a[i - 1] > a[i] then bad = bad + 1 end end
for i = 1, n, 997 do sum = sum + a[i] end
print("checksum " .. (sum + bad))

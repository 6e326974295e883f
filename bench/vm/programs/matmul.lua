-- Two 200 x 200 matrices of reals multiplied, three times; the entries are small
-- integers, so the checksum (the sum of the product's entries) is exact.
local n, rounds = 200, 3
local a, b, c = {}, {}, {}
for i = 1, n do
  a[i], b[i], c[i] = {}, {}, {}
  for j = 1, n do
    a[i][j] = ((i + 2 * j) % 7 - 3) + 0.0
    b[i][j] = ((3 * i + j) % 5 - 1) + 0.0
  end
end
local total = 0.0
for round = 1, rounds do
  for i = 1, n do
    local ai, ci = a[i], c[i]
    for j = 1, n do
      local s = 0.0
      for k = 1, n do s = s + ai[k] * b[k][j] end
      ci[j] = s
    end
  end
  for i = 1, n do
    for j = 1, n do total = total + c[i][j] end
  end
  a[round][round] = a[round][round] + 1.0
end
print("checksum " .. math.floor(total))

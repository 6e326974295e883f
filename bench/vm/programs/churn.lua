-- Building and dropping the nodes churn.mod allocates and frees: 1000 rounds of a list
-- of 10000 tables, each dropped whole for the collector.
local sum = 0
for round = 1, 1000 do
  local head = nil
  for i = 1, 10000 do head = {value = i, next = head} end
  while head do sum = sum + head.value; head = head.next end
end
print("checksum " .. (sum % 1000000000))

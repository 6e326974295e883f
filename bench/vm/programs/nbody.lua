-- The five planets of the n-body benchmark advanced 200000 steps of 0.01; the checksum
-- is the energy after the run in units of 1E-9, rounded down.
local sqrt = math.sqrt
local pi = 3.141592653589793
local solarMass = 4.0 * pi * pi
local daysPerYear = 365.24
local steps = 200000

local b = {}
local function set(x, y, z, vx, vy, vz, mass)
  b[#b + 1] = {x = x, y = y, z = z, vx = vx * daysPerYear, vy = vy * daysPerYear,
               vz = vz * daysPerYear, mass = mass * solarMass}
end
set(0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0)
set(4.84143144246472090E+00, -1.16032004402742839E+00, -1.03622044471123109E-01,
    1.66007664274403694E-03, 7.69901118419740425E-03, -6.90460016972063023E-05,
    9.54791938424326609E-04)
set(8.34336671824457987E+00, 4.12479856412430479E+00, -4.03523417114321381E-01,
    -2.76742510726862411E-03, 4.99852801234917238E-03, 2.30417297573763929E-05,
    2.85885980666130812E-04)
set(1.28943695621391310E+01, -1.51111514016986312E+01, -2.23307578892655734E-01,
    2.96460137564761618E-03, 2.37847173959480950E-03, -2.96589568540237556E-05,
    4.36624404335156298E-05)
set(1.53796971148509165E+01, -2.59193146099879641E+01, 1.79258772950371181E-01,
    2.68067772490389322E-03, 1.62824170038242295E-03, -9.51592254519715870E-05,
    5.15138902046611451E-05)
local n = #b

local px, py, pz = 0.0, 0.0, 0.0
for i = 1, n do
  px = px + b[i].vx * b[i].mass; py = py + b[i].vy * b[i].mass; pz = pz + b[i].vz * b[i].mass
end
b[1].vx = -px / solarMass; b[1].vy = -py / solarMass; b[1].vz = -pz / solarMass

local function energy()
  local e = 0.0
  for i = 1, n do
    local bi = b[i]
    e = e + 0.5 * bi.mass * (bi.vx * bi.vx + bi.vy * bi.vy + bi.vz * bi.vz)
    for j = i + 1, n do
      local bj = b[j]
      local dx, dy, dz = bi.x - bj.x, bi.y - bj.y, bi.z - bj.z
      e = e - bi.mass * bj.mass / sqrt(dx * dx + dy * dy + dz * dz)
    end
  end
  return e
end

local function advance(dt)
  for i = 1, n do
    local bi = b[i]
    for j = i + 1, n do
      local bj = b[j]
      local dx, dy, dz = bi.x - bj.x, bi.y - bj.y, bi.z - bj.z
      local d2 = dx * dx + dy * dy + dz * dz
      local mag = dt / (d2 * sqrt(d2))
      bi.vx = bi.vx - dx * bj.mass * mag
      bi.vy = bi.vy - dy * bj.mass * mag
      bi.vz = bi.vz - dz * bj.mass * mag
      bj.vx = bj.vx + dx * bi.mass * mag
      bj.vy = bj.vy + dy * bi.mass * mag
      bj.vz = bj.vz + dz * bi.mass * mag
    end
  end
  for i = 1, n do
    local bi = b[i]
    bi.x = bi.x + dt * bi.vx; bi.y = bi.y + dt * bi.vy; bi.z = bi.z + dt * bi.vz
  end
end

for _ = 1, steps do advance(0.01) end
print("checksum " .. math.floor(energy() * 1.0E9))

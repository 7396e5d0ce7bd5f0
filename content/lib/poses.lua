-- Poses of nodes as the engine composes them, and the curves that animate them.
--
-- A pose matrix is made of row vectors (p' = p M, so in a product the left matrix acts first):
-- scaled, turned about X, then Y, then Z, then moved. A matrix is 16 numbers, row by row.

local function multiply(a, b)
    -- Poses keep 0, 0, 0, 1 in their last column, which spares most of the work.
    local a1, a2, a3, a5, a6, a7, a9, a10, a11, a13, a14, a15 =
        a[1], a[2], a[3], a[5], a[6], a[7], a[9], a[10], a[11], a[13], a[14], a[15]
    local b1, b2, b3, b5, b6, b7, b9, b10, b11 = b[1], b[2], b[3], b[5], b[6], b[7], b[9], b[10], b[11]
    return {
        a1 * b1 + a2 * b5 + a3 * b9, a1 * b2 + a2 * b6 + a3 * b10, a1 * b3 + a2 * b7 + a3 * b11, 0,
        a5 * b1 + a6 * b5 + a7 * b9, a5 * b2 + a6 * b6 + a7 * b10, a5 * b3 + a6 * b7 + a7 * b11, 0,
        a9 * b1 + a10 * b5 + a11 * b9, a9 * b2 + a10 * b6 + a11 * b10, a9 * b3 + a10 * b7 + a11 * b11, 0,
        a13 * b1 + a14 * b5 + a15 * b9 + b[13], a13 * b2 + a14 * b6 + a15 * b10 + b[14],
        a13 * b3 + a14 * b7 + a15 * b11 + b[15], 1,
    }
end
local function chain(first, ...)
    for _, m in ipairs({ ... }) do
        first = multiply(first, m)
    end
    return first
end
local function move(x, y, z) return { 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1 } end
local function scale(s) return { s, 0, 0, 0, 0, s, 0, 0, 0, 0, s, 0, 0, 0, 0, 1 } end
local function turnX(t)
    local c, s = math.cos(t), math.sin(t)
    return { 1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1 }
end
local function turnY(t)
    local c, s = math.cos(t), math.sin(t)
    return { c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1 }
end
local function turnZ(t)
    local c, s = math.cos(t), math.sin(t)
    return { c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1 }
end
-- m multiplied by itself n times, by squaring.
local function power(m, n)
    local result = move(0, 0, 0)
    while n > 0 do
        if n % 2 == 1 then
            result = multiply(result, m)
        end
        m, n = multiply(m, m), math.floor(n / 2)
    end
    return result
end

-- Curves for a node, keys every `step` frames of the scene's sampler: pose(frame) gives its angles
-- about X, Y and Z, its uniform scale and a matrix whose last row is its position (the angles are
-- worked out with the matrix, so nothing has to be decomposed). A node whose scale never leaves 1
-- gets no scale curves.
local function curves(sample, step, pose)
    local result = { LocX = {}, LocY = {}, LocZ = {}, RotX = {}, RotY = {}, RotZ = {}, ScaleX = {} }
    local scaled = false
    for _, key in ipairs(sample(step, function(frame) return frame end)) do
        local frame = key[1]
        local x, y, z, size, m = pose(frame)
        table.insert(result.LocX, { frame, m[13] })
        table.insert(result.LocY, { frame, m[14] })
        table.insert(result.LocZ, { frame, m[15] })
        table.insert(result.RotX, { frame, x })
        table.insert(result.RotY, { frame, y })
        table.insert(result.RotZ, { frame, z })
        table.insert(result.ScaleX, { frame, size })
        scaled = scaled or math.abs(size - 1) > 1e-9
    end
    if scaled then
        result.ScaleY, result.ScaleZ = result.ScaleX, result.ScaleX
    else
        result.ScaleX = nil
    end
    return result
end

-- Curves for a node placed without a matrix, keys every `step` frames of the scene's sampler:
-- place(frame) gives { angles = { x, y, z }, position = { x, y, z } }.
local function placedCurves(sample, step, place)
    local result = {}
    for axis, name in ipairs({ "X", "Y", "Z" }) do
        result["Loc" .. name] = sample(step, function(frame) return place(frame).position[axis] end)
        result["Rot" .. name] = sample(step, function(frame) return place(frame).angles[axis] end)
    end
    return result
end

return {
    multiply = multiply, chain = chain, move = move, scale = scale, turnX = turnX, turnY = turnY,
    turnZ = turnZ, power = power, curves = curves, placedCurves = placedCurves,
}

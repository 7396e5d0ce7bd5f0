-- Sampling a scene's functions of the frame into curve keys, and the camera's curves from its path.

-- The sampler of a scene `frames` frames long: sample(step, f) gives keys of f(frame) every `step`
-- frames over the scene (animation time starts at frame 1), and one at its end.
local function sampler(frames)
    return function(step, f)
        local keys = {}
        for frame = 1, frames + 1, step do
            keys[#keys + 1] = { frame, f(frame) }
        end
        if keys[#keys][1] < frames + 1 then
            keys[#keys + 1] = { frames + 1, f(frames + 1) }
        end
        return keys
    end
end

-- The camera's curves, keys every `step` frames: view(frame) gives its x, y and z, its pitch and yaw
-- and, for a camera that rolls, its roll.
local function viewCurves(sample, step, view)
    local curves = {
        LocX = sample(step, function(frame) return view(frame).x end),
        LocY = sample(step, function(frame) return view(frame).y end),
        LocZ = sample(step, function(frame) return view(frame).z end),
        RotX = sample(step, function(frame) return view(frame).pitch end),
        RotY = sample(step, function(frame) return view(frame).yaw end),
    }
    if view(1).roll then
        curves.RotZ = sample(step, function(frame) return view(frame).roll end)
    end
    return curves
end

-- The curves of a camera circling round: orbit(frame) gives its x, height and z, its pitch and the
-- angle it has come round, which turns it the other way about Y.
local function orbitCurves(sample, step, orbit)
    return viewCurves(sample, step, function(frame)
        local o = orbit(frame)
        return { x = o.x, y = o.height, z = o.z, pitch = o.pitch, yaw = -o.angle }
    end)
end

return { sampler = sampler, viewCurves = viewCurves, orbitCurves = orbitCurves }

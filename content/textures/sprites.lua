-- Pictures shared by every scene, written as data/<name>.png.
return {
    -- The particles' shape: white in the middle, so the particle's own colour shows, fading to
    -- nothing at the rim.
    spark = glowSprite{ size = 64, centre = { 1, 0.95, 0.85, 1 }, falloff = 1.2 },
}

-- Meshes shared by every scene, written as data/<name>.tvo. The full-screen quad is the geometry of
-- every post-processing pass (the effect-file shader loads data/quad.tvo); its own material is never
-- drawn.
return {
    quad = { shape = screenQuad(), builtin = "wireframe" },
}

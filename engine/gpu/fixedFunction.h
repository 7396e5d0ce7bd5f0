// The fixed-function pipeline as one small GLSL program: Direct3D 9's per-vertex lighting in view
// space (ambient, point and directional lights with range and attenuation, optional specular) with
// texture stage 0 modulating the lit colour. The device tells it what changed before each draw.
#pragma once

#include "gpu/glObjects.h"

namespace engine::gpu {

struct FixedFunctionInputs {
    const math::Matrix4x4* world;
    const math::Matrix4x4* view;
    const math::Matrix4x4* projection;
    const Material* material;
    const Light* lights;
    const bool* lightEnabled; // kMaxLights entries
    Color ambient;
    bool lighting;
    bool specular;
    bool normalizeNormals;
    bool textured;
    // Where the driver lacks depth 0..1 clipping, the projection is remapped to OpenGL's -1..1.
    bool remapDepth;
    // Where the driver lacks an upper-left origin, pictures drawn into textures are flipped here.
    bool flipY;
};

class FixedFunction {
public:
    // Lights live in view space, so a new view matrix uploads them again; a new world matrix does not.
    enum Dirty : unsigned {
        DirtyTransforms = 1,
        DirtyMaterial = 2,
        DirtyLights = 4,
        DirtyFlags = 8,
        DirtyView = 16,
        DirtyProjection = 32,
        DirtyAll = 63,
    };

    Result Build(std::string& diagnostics);
    // Forgets the program; deletes it only while the context is alive.
    void Release(bool contextAlive);
    GLuint Program() const { return program; }
    // Uploads the uniform groups named by `dirty`; the program must be in use.
    void Upload(const FixedFunctionInputs& inputs, unsigned dirty);

private:
    void UploadTransforms(const FixedFunctionInputs& inputs);
    void UploadProjection(const FixedFunctionInputs& inputs);
    void UploadLights(const FixedFunctionInputs& inputs);

    GLuint program = 0;
    struct Locations {
        GLint worldView, projection, normalMatrix;
        GLint diffuse, ambient, specular, emissive, power;
        GLint globalAmbient, lightCount, lightPosition, lightDiffuse, lightSpecular, lightAmbient,
            lightAttenuation;
        GLint lighting, specularEnable, normalizeNormals, textured, texture0;
    } at{};
};

} // namespace engine::gpu

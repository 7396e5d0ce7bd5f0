#include "gpu/fixedFunction.h"

#include "gpu/glCheck.h"
#include "math/operators.h"
#include "math/transforms.h"

#include <cmath>

namespace engine::gpu {

namespace {

const char kVertexSource[] = R"(#version 330 core
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTexCoord;
in vec4 inColor;
uniform mat4 worldView;
uniform mat4 projection;
uniform mat3 normalMatrix;
uniform vec4 materialDiffuse, materialAmbient, materialSpecular, materialEmissive;
uniform float materialPower;
uniform vec3 globalAmbient;
uniform int lightCount;
uniform vec4 lightPosition[8];    // view space; w = 0: direction towards a directional light
uniform vec3 lightDiffuse[8], lightSpecular[8], lightAmbient[8];
uniform vec4 lightAttenuation[8]; // a0, a1, a2, range
uniform bool lighting, specularEnable, normalizeNormals;
out vec4 litColor;
out vec3 specularColor;
out vec2 texCoord;

void main() {
    vec4 viewPosition = worldView * vec4(inPosition, 1.0);
    gl_Position = projection * viewPosition;
    texCoord = inTexCoord;
    specularColor = vec3(0.0);
    if (!lighting) {
        litColor = inColor;
        return;
    }
    vec3 n = normalMatrix * inNormal;
    if (normalizeNormals && dot(n, n) > 0.0)
        n = normalize(n);
    vec3 ambient = globalAmbient, diffuse = vec3(0.0), specular = vec3(0.0);
    for (int i = 0; i < lightCount; ++i) {
        vec3 l = lightPosition[i].xyz;
        float attenuation = 1.0;
        if (lightPosition[i].w != 0.0) {
            vec3 toLight = lightPosition[i].xyz - viewPosition.xyz;
            float d = length(toLight);
            vec4 a = lightAttenuation[i];
            attenuation = d > a.w ? 0.0 : 1.0 / (a.x + a.y * d + a.z * d * d);
            l = d > 0.0 ? toLight / d : vec3(0.0);
        }
        ambient += lightAmbient[i] * attenuation;
        float nl = max(dot(n, l), 0.0);
        diffuse += lightDiffuse[i] * nl * attenuation;
        if (specularEnable && nl > 0.0) {
            vec3 h = normalize(l + normalize(-viewPosition.xyz));
            specular += lightSpecular[i] * pow(max(dot(n, h), 0.0), materialPower) * attenuation;
        }
    }
    vec3 colour = materialEmissive.rgb + materialAmbient.rgb * ambient + materialDiffuse.rgb * diffuse;
    litColor = vec4(clamp(colour, 0.0, 1.0), materialDiffuse.a);
    specularColor = clamp(materialSpecular.rgb * specular, 0.0, 1.0);
}
)";

// Texture stage 0 modulates the colour and takes its alpha from the texture; specular is added after
// the texture stage, as Direct3D does.
const char kFragmentSource[] = R"(#version 330 core
in vec4 litColor;
in vec3 specularColor;
in vec2 texCoord;
uniform sampler2D texture0;
uniform bool textured;
out vec4 fragColor;

void main() {
    vec4 colour = litColor;
    if (textured) {
        vec4 texel = texture(texture0, texCoord);
        colour = vec4(colour.rgb * texel.rgb, texel.a);
    }
    fragColor = vec4(min(colour.rgb + specularColor, vec3(1.0)), colour.a);
}
)";

void UploadColor(GLint location, const ColorValue& c) {
    GL_CALL(glUniform4f(location, c.r, c.g, c.b, c.a));
}

// The normal matrix: the inverse transpose of the world-view rotation block.
void NormalMatrix(const math::Matrix4x4& worldView, float out[9]) {
    math::Matrix4x4 inverse;
    if (!math::MatrixInverse(worldView, inverse)) {
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                out[3 * r + c] = worldView.m[4 * r + c];
        return;
    }
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            out[3 * r + c] = inverse.m[4 * c + r];
}

} // namespace

Result FixedFunction::Build(std::string& diagnostics) {
    ProgramSource source{kVertexSource,
                         kFragmentSource,
                         {{"inPosition", UsagePosition, 0},
                          {"inNormal", UsageNormal, 0},
                          {"inTexCoord", UsageTexCoord, 0},
                          {"inColor", UsageColor, 0}}};
    const Result result = BuildGlProgram(source, program, diagnostics);
    if (Failed(result))
        return result;
    auto find = [this](const char* name) { return glGetUniformLocation(program, name); };
    at = {
        find("worldView"),       find("projection"),       find("normalMatrix"),     find("materialDiffuse"),
        find("materialAmbient"), find("materialSpecular"), find("materialEmissive"), find("materialPower"),
        find("globalAmbient"),   find("lightCount"),       find("lightPosition"),    find("lightDiffuse"),
        find("lightSpecular"),   find("lightAmbient"),     find("lightAttenuation"), find("lighting"),
        find("specularEnable"),  find("normalizeNormals"), find("textured"),         find("texture0")};
    GL_CALL(glUseProgram(program));
    GL_CALL(glUniform1i(at.texture0, 0));
    return kOk;
}

void FixedFunction::Release(bool contextAlive) {
    if (program != 0 && contextAlive)
        GL_CALL(glDeleteProgram(program));
    program = 0;
}

void FixedFunction::Upload(const FixedFunctionInputs& inputs, unsigned dirty) {
    if ((dirty & DirtyTransforms) != 0)
        UploadTransforms(inputs);
    if ((dirty & DirtyProjection) != 0)
        UploadProjection(inputs);
    if ((dirty & DirtyMaterial) != 0) {
        UploadColor(at.diffuse, inputs.material->diffuse);
        UploadColor(at.ambient, inputs.material->ambient);
        UploadColor(at.specular, inputs.material->specular);
        UploadColor(at.emissive, inputs.material->emissive);
        GL_CALL(glUniform1f(at.power, inputs.material->power));
    }
    if ((dirty & (DirtyLights | DirtyView)) != 0)
        UploadLights(inputs);
    if ((dirty & DirtyFlags) != 0) {
        const Color a = inputs.ambient;
        GL_CALL(glUniform3f(at.globalAmbient, ((a >> 16) & 0xFF) / 255.0f, ((a >> 8) & 0xFF) / 255.0f,
                            (a & 0xFF) / 255.0f));
        GL_CALL(glUniform1i(at.lighting, inputs.lighting));
        GL_CALL(glUniform1i(at.specularEnable, inputs.specular));
        GL_CALL(glUniform1i(at.normalizeNormals, inputs.normalizeNormals));
        GL_CALL(glUniform1i(at.textured, inputs.textured));
    }
}

void FixedFunction::UploadTransforms(const FixedFunctionInputs& inputs) {
    using math::operator*;
    const math::Matrix4x4 worldView = *inputs.world * *inputs.view;
    float normal[9];
    NormalMatrix(worldView, normal);
    GL_CALL(glUniformMatrix4fv(at.worldView, 1, GL_FALSE, worldView.m));
    GL_CALL(glUniformMatrix3fv(at.normalMatrix, 1, GL_FALSE, normal));
}

void FixedFunction::UploadProjection(const FixedFunctionInputs& inputs) {
    using math::operator*;
    math::Matrix4x4 projection = *inputs.projection;
    if (inputs.remapDepth) {
        const math::Matrix4x4 remap(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1);
        projection = projection * remap;
    }
    if (inputs.flipY)
        projection = projection * math::MatrixScaling(1.0f, -1.0f, 1.0f);
    GL_CALL(glUniformMatrix4fv(at.projection, 1, GL_FALSE, projection.m));
}

void FixedFunction::UploadLights(const FixedFunctionInputs& inputs) {
    using math::operator*;
    float position[4 * kMaxLights], diffuse[3 * kMaxLights], specular[3 * kMaxLights],
        ambient[3 * kMaxLights], attenuation[4 * kMaxLights];
    int count = 0;
    const float* v = inputs.view->m;
    for (std::uint32_t i = 0; i < kMaxLights; ++i) {
        if (!inputs.lightEnabled[i])
            continue;
        const Light& light = inputs.lights[i];
        float* p = position + 4 * count;
        if (light.type == LightDirectional) {
            const math::Vector3f d = light.direction;
            math::Vector3f towards(-(d.x * v[0] + d.y * v[4] + d.z * v[8]),
                                   -(d.x * v[1] + d.y * v[5] + d.z * v[9]),
                                   -(d.x * v[2] + d.y * v[6] + d.z * v[10]));
            if (towards.MagSquared() > 0.0f)
                towards.Normalize();
            p[0] = towards.x, p[1] = towards.y, p[2] = towards.z, p[3] = 0.0f;
        } else {
            const math::Vector3f viewPosition = light.position * *inputs.view;
            p[0] = viewPosition.x, p[1] = viewPosition.y, p[2] = viewPosition.z, p[3] = 1.0f;
        }
        const ColorValue* colours[3] = {&light.diffuse, &light.specular, &light.ambient};
        float* targets[3] = {diffuse + 3 * count, specular + 3 * count, ambient + 3 * count};
        for (int c = 0; c < 3; ++c)
            targets[c][0] = colours[c]->r, targets[c][1] = colours[c]->g, targets[c][2] = colours[c]->b;
        float* a = attenuation + 4 * count;
        a[0] = light.attenuation0, a[1] = light.attenuation1, a[2] = light.attenuation2, a[3] = light.range;
        ++count;
    }
    GL_CALL(glUniform1i(at.lightCount, count));
    if (count == 0)
        return;
    GL_CALL(glUniform4fv(at.lightPosition, count, position));
    GL_CALL(glUniform3fv(at.lightDiffuse, count, diffuse));
    GL_CALL(glUniform3fv(at.lightSpecular, count, specular));
    GL_CALL(glUniform3fv(at.lightAmbient, count, ambient));
    GL_CALL(glUniform4fv(at.lightAttenuation, count, attenuation));
}

} // namespace engine::gpu

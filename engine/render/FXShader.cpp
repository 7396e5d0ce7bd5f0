#include "render/FXShader.h"

#include "core/textConversion.h"
#include "core/timer.h"
#include "math/operators.h"
#include "platform/window.h"
#include "render/effectPool.h"
#include "render/material.h"
#include "render/renderObject.h"
#include "render/renderer.h"
#include "resources/TVOMesh.h"
#include "resources/fxEffect.h"
#include "resources/resourceTypes.h"
#include "scene/lightManager.h"

#include <boost/make_shared.hpp>

namespace engine::gfx {

namespace {

using core::CWin32Window;
using core::ResourceManager;
using core::resources::FXEffect;
using core::resources::ManagedTexture;
using core::resources::RenderTargetTexture;

const wchar_t kQuadMeshPath[] = L"data/quad.tvo";

// The world matrix without its translation: the rotation block, padded with the identity's last row
// and column.
math::Matrix4x4 RotationOnly(const math::Matrix4x4& world) {
    math::Matrix4x4 rotation = math::Matrix4x4::Identity;
    rotation.SetRotation(world.GetRotation());
    return rotation;
}

void SetWorld(CompiledEffect& e, ParameterHandle h, const RenderObject& o) {
    e.SetMatrix(h, o.world);
}
void SetWorldRotation(CompiledEffect& e, ParameterHandle h, const RenderObject& o) {
    e.SetMatrix(h, RotationOnly(o.world));
}
void SetView(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetMatrix(h, CWin32Window::Get()->view);
}
void SetViewInverse(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetMatrix(h, CWin32Window::Get()->inverseView);
}
void SetWorldView(CompiledEffect& e, ParameterHandle h, const RenderObject& o) {
    e.SetMatrix(h, o.world * CWin32Window::Get()->view);
}
void SetProjection(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetMatrix(h, CWin32Window::Get()->projection);
}
void SetWorldViewProjection(CompiledEffect& e, ParameterHandle h, const RenderObject& o) {
    e.SetMatrix(h, o.world * CWin32Window::Get()->viewProjection);
}
// The stored inverse goes as it is: effects multiply with it from the other side.
void SetWorldInverseTranspose(CompiledEffect& e, ParameterHandle h, const RenderObject& o) {
    e.SetMatrix(h, o.worldInverse);
}
void SetTime(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetFloat(h, static_cast<float>(core::Timer::Get()->Time()));
}
void SetTimeElapsed(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetFloat(h, static_cast<float>(core::Timer::Get()->SinceLast()));
}
// All four light semantics read the first light.
void SetLight(CompiledEffect& e, ParameterHandle h, const RenderObject&) {
    e.SetVector(h, LightManager::Get()->FirstLightPosition());
}

struct SemanticSetter {
    const char* semantic;
    FXShader::Setter setter;
};

const SemanticSetter kSemantics[] = {
    {"World", SetWorld},
    {"WorldRotation", SetWorldRotation},
    {"View", SetView},
    {"ViewInverse", SetViewInverse},
    {"WorldView", SetWorldView},
    {"Projection", SetProjection},
    {"WorldViewProjection", SetWorldViewProjection},
    {"WorldInverseTranspose", SetWorldInverseTranspose},
    {"Time", SetTime},
    {"TimeElapsed", SetTimeElapsed},
    {"Light0", SetLight},
    {"Light1", SetLight},
    {"Light2", SetLight},
    {"Light3", SetLight},
};

// One handle per entry of a value list, in entry order; a name the effect lacks keeps a null handle.
template <typename T>
void Resolve(const CompiledEffect& compiled, const NamedValues<T>& values,
             std::vector<ParameterHandle>& handles, const std::string& effectPath) {
    handles.clear();
    for (const auto& [name, value] : values) {
        ParameterHandle handle = compiled.GetParameterByName(name);
        if (handle == nullptr)
            LOG_WARNING("No such parameter " + name + " in shader " + effectPath);
        handles.push_back(handle);
    }
}

} // namespace

FXShader::FXShader(std::string effectPath, PassDescription description) : pass(std::move(description)) {
    effect = ResourceManager::Get()->GetResource<FXEffect>(core::NarrowToWide(effectPath));
    // A name already taken by another kind of resource, or a file that failed before, has no effect.
    if (!effect || effect->Retrieve() == nullptr)
        LOG_ERROR("Failed to create effect " + effectPath);
    technique = Compiled().GetTechniqueByName(pass.technique);
    if (technique == nullptr)
        LOG_ERROR("No such technique " + pass.technique + " in " + effectPath);
    LoadQuad(effectPath);
    ResolveHandles(effectPath);
    ResolveTextureSources();
    if (pass.renderToTexture)
        target =
            ResourceManager::Get()->GetResource<RenderTargetTexture>(core::NarrowToWide(pass.renderTarget));
}

FXShader::~FXShader() = default;

CompiledEffect& FXShader::Compiled() const {
    return *effect->Retrieve();
}

void FXShader::LoadQuad(const std::string& effectPath) {
    CompiledEffect& compiled = Compiled();
    bool wanted = false;
    if (compiled.GetBool(compiled.GetAnnotationByName(technique, "quad"), wanted) != gpu::kOk || !wanted)
        return;
    std::string materialName;
    if (compiled.GetString(compiled.GetAnnotationByName(technique, "material"), materialName) != gpu::kOk) {
        LOG_WARNING("Quad in effect " + effectPath + " is true, but material not available");
        return;
    }
    const std::string scriptPath = "data/fx/" + materialName + ".efx";
    LOG_MESSAGE("Loading quad material " + scriptPath);
    quad = true;
    quadMesh = boost::make_shared<TVOMesh>();

    boost::shared_ptr<TVOMesh> shared = ResourceManager::Get()->GetResource<TVOMesh>(kQuadMeshPath);
    if (!shared)
        LOG_ERROR("Failed to load the quad mesh " + core::WideToNarrow(kQuadMeshPath));
    boost::shared_ptr<RenderObject> source = shared->CreateRenderObject();
    quadMesh->vertexCount = source->numVertices;
    quadMesh->primitiveCount = source->primitiveCount;
    quadMesh->stride = source->stride;
    quadMesh->primitiveType = source->primitiveType;
    quadMesh->vertexBuffer = gpu::Ref<gpu::VertexBuffer>(source->vertexBuffer);
    quadMesh->indexBuffer = gpu::Ref<gpu::IndexBuffer>(source->indexBuffer);
    quadMesh->declaration = gpu::Ref<gpu::VertexDeclaration>(source->declaration);

    quadMesh->material = boost::make_shared<Material>();
    quadMesh->material->effect = EffectPool::Get()->BuildEffectStrict(scriptPath);
}

void FXShader::ResolveHandles(const std::string& effectPath) {
    const CompiledEffect& compiled = Compiled();
    ParameterBlock& p = pass.params;
    Resolve(compiled, p.float4Values, p.float4Handles, effectPath);
    Resolve(compiled, p.float3Values, p.float3Handles, effectPath);
    Resolve(compiled, p.float2Values, p.float2Handles, effectPath);
    Resolve(compiled, p.scalarValues, p.scalarHandles, effectPath);
    Resolve(compiled, p.curveValues, p.curveHandles, effectPath);
    Resolve(compiled, p.boolValues, p.boolHandles, effectPath);
    Resolve(compiled, p.textureValues, p.textureHandles, effectPath);
    Resolve(compiled, p.slotValues, p.slotHandles, effectPath);
}

void FXShader::ResolveTextureSources() {
    for (const auto& [name, resource] : pass.params.textureValues) {
        TextureSource source;
        source.file = dynamic_cast<ManagedTexture*>(resource.get());
        source.target = dynamic_cast<RenderTargetTexture*>(resource.get());
        textureSources.push_back(source);
    }
}

// The device's caps are read by the effect itself, as Direct3D's validation does; the argument is the
// same record. The MESSAGE row says which pass and limit, before the warning that drops the pass.
bool FXShader::IsSupported(const gpu::Caps&) {
    std::string reason;
    if (Compiled().ValidateTechnique(technique, &reason) == gpu::kOk)
        return true;
    LOG_MESSAGE(reason);
    ReportUnsupported();
    return false;
}

std::set<int> FXShader::GetStreams() {
    return pass.streams;
}

void FXShader::BindParameters() {
    semanticBindings.clear();
    for (const SemanticSetter& semantic : kSemantics)
        if (ParameterHandle handle = Compiled().GetParameterBySemantic(semantic.semantic))
            semanticBindings.push_back({handle, semantic.setter});
}

void FXShader::Prepare() {
    if (!quad)
        return;
    if (Renderer* renderer = ShaderRenderer()) {
        quadMesh->FillRenderObject(NextRenderObject(quadObject));
        renderer->Submit(quadObject);
    }
}

int FXShader::BeginPass(unsigned p) {
    CompiledEffect& compiled = Compiled();
    if (p == 0) {
        compiled.SetTechnique(technique);
        passCount = 0;
        // A refused Begin (the effect is begun already) leaves nothing of ours to end: no passes.
        if (compiled.Begin(&passCount, 0) == gpu::kOk && passCount == 0)
            compiled.End();
    }
    if (p >= passCount)
        return static_cast<int>(passCount);
    compiled.BeginPass(p);
    currentPass = p;
    return static_cast<int>(passCount);
}

void FXShader::EndPass() {
    CompiledEffect& compiled = Compiled();
    compiled.EndPass();
    if (passCount == currentPass + 1)
        compiled.End();
}

void FXShader::Render(boost::shared_ptr<RenderObject> object) {
    CompiledEffect& compiled = Compiled();
    for (const SemanticBinding& binding : semanticBindings)
        binding.setter(compiled, binding.handle, *object);
    SetScriptParameters(compiled, *object);
    compiled.CommitChanges();

    gpu::Device* device = ShaderDevice();
    if (device == nullptr)
        LOG_ERROR("Failed to render an object");
    BindGeometry(*device, *object);
    if (gpu::Failed(device->DrawIndexedPrimitive(object->primitiveType, 0, 0,
                                                 static_cast<std::uint32_t>(object->numVertices), 0,
                                                 static_cast<std::uint32_t>(object->primitiveCount))))
        LOG_ERROR("Failed to render an object");
}

void FXShader::SetScriptParameters(CompiledEffect& compiled, const RenderObject& object) {
    const ParameterBlock& p = pass.params;
    for (std::size_t i = 0; i < p.boolValues.size(); ++i) {
        const bool value = p.boolValues[i].second;
        compiled.SetRawValue(p.boolHandles[i], &value, 0, 1);
    }
    for (std::size_t i = 0; i < p.scalarValues.size(); ++i)
        compiled.SetRawValue(p.scalarHandles[i], p.scalarValues[i].second.data(), 0, 4);
    // A curve name that no curve has gives no address: the parameter keeps its value.
    for (std::size_t i = 0; i < p.curveValues.size(); ++i)
        if (const float* value = p.curveValues[i].second)
            compiled.SetRawValue(p.curveHandles[i], value, 0, 4);
    for (std::size_t i = 0; i < p.float2Values.size(); ++i)
        compiled.SetRawValue(p.float2Handles[i], p.float2Values[i].second.data(), 0, 8);
    for (std::size_t i = 0; i < p.float3Values.size(); ++i)
        compiled.SetRawValue(p.float3Handles[i], &p.float3Values[i].second, 0, 12);
    for (std::size_t i = 0; i < p.float4Values.size(); ++i)
        compiled.SetRawValue(p.float4Handles[i], &p.float4Values[i].second, 0, 16);
    // A texture entry without a resource (a file name that names a render target) sets nothing.
    for (std::size_t i = 0; i < textureSources.size(); ++i) {
        const TextureSource& source = textureSources[i];
        if (source.file != nullptr)
            compiled.SetTexture(p.textureHandles[i], source.file->Retrieve());
        else if (source.target != nullptr)
            compiled.SetTexture(p.textureHandles[i], source.target->Retrieve());
    }
    for (std::size_t i = 0; i < p.slotValues.size(); ++i) {
        const int slot = p.slotValues[i].second;
        gpu::Texture* texture = nullptr;
        if (object.material && slot >= 0 && slot < Material::kTextureSlots && object.material->textures[slot])
            texture = object.material->textures[slot]->Retrieve();
        compiled.SetTexture(p.slotHandles[i], texture);
    }
}

void FXShader::BindGeometry(gpu::Device& device, const RenderObject& object) {
    if (Renderer* renderer = ShaderRenderer()) {
        renderer->GetDrawStateCache().Bind(device, object);
        return;
    }
    DrawStateCache uncached;
    uncached.Bind(device, object);
}

std::string FXShader::GetName() {
    return "fxShader";
}

int FXShader::GetType() {
    return 0;
}

int FXShader::GetPriority() {
    return pass.priority;
}

const core::Resource* FXShader::GetEffectResource() {
    return effect.get();
}

std::uintptr_t FXShader::GetTechniqueHandle() {
    return reinterpret_cast<std::uintptr_t>(technique);
}

} // namespace engine::gfx

#include "gpu/glObjects.h"

#include "gpu/glCheck.h"

#include <cstring>

namespace engine::gpu {

namespace {

bool CompileStage(GLenum stage, const std::string& source, GLuint& shader, std::string& diagnostics) {
    GL_CALL(shader = glCreateShader(stage));
    const char* text = source.c_str();
    GL_CALL(glShaderSource(shader, 1, &text, nullptr));
    GL_CALL(glCompileShader(shader));
    GLint status = GL_FALSE, length = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    if (length > 1) {
        std::string log(length, '\0');
        glGetShaderInfoLog(shader, length, nullptr, log.data());
        log.resize(std::strlen(log.c_str()));
        diagnostics += (stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + log;
    }
    return status == GL_TRUE;
}

UniformType TypeOf(GLenum type) {
    switch (type) {
    case GL_FLOAT:
        return UniformType::Float;
    case GL_FLOAT_VEC2:
        return UniformType::Vec2;
    case GL_FLOAT_VEC3:
        return UniformType::Vec3;
    case GL_FLOAT_VEC4:
        return UniformType::Vec4;
    case GL_FLOAT_MAT4:
        return UniformType::Mat4;
    case GL_INT:
        return UniformType::Int;
    case GL_BOOL:
        return UniformType::Bool;
    case GL_SAMPLER_2D:
        return UniformType::Sampler2D;
    default:
        return UniformType::Other;
    }
}

std::size_t WordsOf(UniformType type) {
    switch (type) {
    case UniformType::Vec2:
        return 2;
    case UniformType::Vec3:
        return 3;
    case UniformType::Vec4:
        return 4;
    case UniformType::Mat4:
        return 16;
    default:
        return 1;
    }
}

bool IsInteger(UniformType type) {
    return type == UniformType::Int || type == UniformType::Bool || type == UniformType::Sampler2D;
}

} // namespace

Result BuildGlProgram(const ProgramSource& source, GLuint& program, std::string& diagnostics) {
    GLuint vertex = 0, fragment = 0;
    // Both stages are compiled, in this order, so that the diagnostics name every stage's faults.
    const bool vertexCompiled = CompileStage(GL_VERTEX_SHADER, source.vertex, vertex, diagnostics);
    const bool fragmentCompiled = CompileStage(GL_FRAGMENT_SHADER, source.fragment, fragment, diagnostics);
    const bool compiled = vertexCompiled && fragmentCompiled;
    GL_CALL(program = glCreateProgram());
    GL_CALL(glAttachShader(program, vertex));
    GL_CALL(glAttachShader(program, fragment));
    for (const ProgramAttribute& attribute : source.attributes) {
        const int location = AttributeLocation(attribute.usage, attribute.usageIndex);
        if (location < 0) {
            diagnostics += "attribute " + attribute.name + ": no vertex element has usage " +
                           std::to_string(attribute.usage) + " index " +
                           std::to_string(attribute.usageIndex) + "\n";
            continue;
        }
        GL_CALL(glBindAttribLocation(program, location, attribute.name.c_str()));
    }
    GLint linked = GL_FALSE;
    if (compiled) {
        GL_CALL(glLinkProgram(program));
        GL_CALL(glGetProgramiv(program, GL_LINK_STATUS, &linked));
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        if (length > 1 && linked != GL_TRUE) {
            std::string log(length, '\0');
            glGetProgramInfoLog(program, length, nullptr, log.data());
            log.resize(std::strlen(log.c_str()));
            diagnostics += "link: " + log;
        }
    }
    GL_CALL(glDeleteShader(vertex));
    GL_CALL(glDeleteShader(fragment));
    if (linked != GL_TRUE) {
        GL_CALL(glDeleteProgram(program));
        program = 0;
        return kFail;
    }
    return kOk;
}

GlProgram::GlProgram(ContextToken context, GLuint name) : context(std::move(context)), name(name) {
    GLint count = 0;
    GL_CALL(glGetProgramiv(name, GL_ACTIVE_UNIFORMS, &count));
    for (GLint i = 0; i < count; ++i) {
        char buffer[256];
        GLsizei length = 0;
        GLint size = 0;
        GLenum glType = 0;
        glGetActiveUniform(name, i, sizeof buffer, &length, &size, &glType, buffer);
        std::string uniformName(buffer, length);
        if (uniformName.size() > 3 && uniformName.ends_with("[0]"))
            uniformName.resize(uniformName.size() - 3);
        const GLint location = glGetUniformLocation(name, buffer);
        if (location < 0) // a member of a uniform block: set through the block, not here
            continue;
        const UniformType type = TypeOf(glType);
        const std::size_t words = WordsOf(type) * size;
        uniforms.push_back({uniformName, type, static_cast<std::uint32_t>(size)});
        slots.push_back({location, values.size(), words, false, false});
        values.resize(values.size() + words, 0);
    }
}

GlProgram::~GlProgram() {
    if (context->alive)
        GL_CALL(glDeleteProgram(name));
}

int GlProgram::FindUniform(const std::string& uniformName) const {
    for (std::size_t i = 0; i < uniforms.size(); ++i)
        if (uniforms[i].name == uniformName)
            return static_cast<int>(i);
    return -1;
}

Result GlProgram::Store(int uniform, const void* data, std::size_t words, bool integer) {
    if (uniform < 0 || std::size_t(uniform) >= slots.size() || data == nullptr)
        return kInvalidCall;
    Slot& slot = slots[uniform];
    const UniformType type = uniforms[uniform].type;
    if (type == UniformType::Other || IsInteger(type) != integer || words > slot.words || words == 0)
        return kInvalidCall;
    // A value the program holds already is not sent again; until a first one is sent, the program
    // holds what its source initialised it with.
    if (slot.set && std::memcmp(values.data() + slot.offset, data, words * 4) == 0)
        return kOk;
    std::memcpy(values.data() + slot.offset, data, words * 4);
    slot.set = true;
    slot.dirty = true;
    anyDirty = true;
    return kOk;
}

Result GlProgram::SetFloats(int uniform, const float* data, std::size_t count) {
    return Store(uniform, data, count, false);
}

Result GlProgram::SetInts(int uniform, const std::int32_t* data, std::size_t count) {
    return Store(uniform, data, count, true);
}

Result GlProgram::SetMatrix(int uniform, const math::Matrix4x4& matrix) {
    if (uniform >= 0 && std::size_t(uniform) < uniforms.size() && uniforms[uniform].type != UniformType::Mat4)
        return kInvalidCall;
    return Store(uniform, matrix.m, 16, false);
}

void GlProgram::Flush() {
    if (!anyDirty)
        return;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        Slot& slot = slots[i];
        if (!slot.dirty)
            continue;
        slot.dirty = false;
        const float* f = reinterpret_cast<const float*>(values.data() + slot.offset);
        const GLint* n = reinterpret_cast<const GLint*>(values.data() + slot.offset);
        const GLsizei count = uniforms[i].count;
        switch (uniforms[i].type) {
        case UniformType::Float:
            GL_CALL(glUniform1fv(slot.location, count, f));
            break;
        case UniformType::Vec2:
            GL_CALL(glUniform2fv(slot.location, count, f));
            break;
        case UniformType::Vec3:
            GL_CALL(glUniform3fv(slot.location, count, f));
            break;
        case UniformType::Vec4:
            GL_CALL(glUniform4fv(slot.location, count, f));
            break;
        case UniformType::Mat4:
            GL_CALL(glUniformMatrix4fv(slot.location, count, GL_FALSE, f));
            break;
        case UniformType::Int:
        case UniformType::Bool:
        case UniformType::Sampler2D:
            GL_CALL(glUniform1iv(slot.location, count, n));
            break;
        case UniformType::Other:
            break;
        }
    }
    anyDirty = false;
}

} // namespace engine::gpu

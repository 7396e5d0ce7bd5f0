// The effect runtime's frame of bench_effects.cpp against the same objects drawn in plain OpenGL, in
// one run: the same program (borrowed from the effect), the same uniform values set per object with
// glUniform* and one glDrawElements each. The difference is the runtime's cost per object.
#include "bench_effects.cpp"

#include <epoxy/gl.h>

namespace effects_bench {

namespace {

struct RawUniforms {
    GLint world, viewInverse, worldViewProjection, worldInverse, light, ambient, specularPower;
};

void RawFrame(Bench& bench, int count, const RawUniforms& at, GLuint vertexArray, GLuint texture) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindVertexArray(vertexArray);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (int i = 0; i < count; ++i) {
        const Object& object = bench.objects[i];
        glUniformMatrix4fv(at.world, 1, GL_FALSE, object.world.m);
        glUniformMatrix4fv(at.viewInverse, 1, GL_FALSE, bench.viewInverse.m);
        glUniformMatrix4fv(at.worldViewProjection, 1, GL_FALSE, object.worldViewProjection.m);
        glUniformMatrix4fv(at.worldInverse, 1, GL_FALSE, object.worldInverse.m);
        glUniform4f(at.light, bench.light.x, bench.light.y, bench.light.z, bench.light.w);
        glUniform1f(at.specularPower, bench.specularPower);
        glUniform4f(at.ambient, bench.ambient.x, bench.ambient.y, bench.ambient.z, bench.ambient.w);
        glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_SHORT, nullptr);
    }
    WaitForPicture(bench);
}

// A vertex array of its own over a copy of the cube, as a hand-written renderer would keep it.
GLuint RawCube(Bench& bench) {
    GLuint vertexArray = 0, buffers[2] = {};
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, bench.vertexData.size() * 4, bench.vertexData.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, bench.indexData.size() * 2, bench.indexData.data(), GL_STATIC_DRAW);
    const int components[3] = {3, 3, 2}, offsets[3] = {0, 12, 24};
    for (int i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(i);
        glVertexAttribPointer(i, components[i], GL_FLOAT, GL_FALSE, kStride,
                              reinterpret_cast<const void*>(std::uintptr_t(offsets[i])));
    }
    return vertexArray;
}

void BM_RawGlObjects(benchmark::State& state) {
    Bench& bench = Setup();
    // One effect frame leaves the effect's program in use with the texture bound on stage 0 and every
    // uniform but the per-object ones set; the raw loop borrows them.
    EffectFrame(bench, 1);
    GLint program = 0, deviceArray = 0, texture = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    const RawUniforms at{glGetUniformLocation(program, "World"),
                         glGetUniformLocation(program, "ViewInverse"),
                         glGetUniformLocation(program, "WorldViewProjection"),
                         glGetUniformLocation(program, "WorldInverse"),
                         glGetUniformLocation(program, "LightPosition"),
                         glGetUniformLocation(program, "AmbientColor"),
                         glGetUniformLocation(program, "SpecularPower")};
    const GLuint vertexArray = RawCube(bench);
    glUseProgram(program);
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state)
        RawFrame(bench, count, at, vertexArray, texture);
    state.counters["objects_per_second"] =
        benchmark::Counter(double(count) * state.iterations(), benchmark::Counter::kIsRate);
    glBindVertexArray(deviceArray);
}

} // namespace

} // namespace effects_bench

BENCHMARK(effects_bench::BM_RawGlObjects)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

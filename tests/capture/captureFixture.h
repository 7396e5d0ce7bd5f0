// Demo data for captures: the program's fixture (nine scenes with the nodes the timeline decorates,
// the particle material, a short module), with every mesh drawn by an effect whose colour follows the
// demo's clock, the repeated object sliding along its own curve (the scene's animation) in front of
// the default camera, and the spark fountain of scene 1 in view, so that the pictures change with the
// demo time, with the scene's own time and with the particles' random factors.
#pragma once

#include "game/demoFixture.h"

namespace quorvel::test {

inline void WriteCaptureFixture(const std::array<int, 9>& lengths) {
    WriteDemoFixture(lengths);
    std::ofstream("data/fx/timeTint.fx") << R"(float4x4 WorldViewProjection : WorldViewProjection;
float Time : Time;

technique Tinted
{
    pass Only
    {
        VertexShader = TintVertex;
        FragmentShader = TintFragment;
        CullMode = None;
    }
}

-- glsl TintVertex
in vec3 POSITION;

void main()
{
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl TintFragment
out vec4 colour;

void main()
{
    colour = vec4(fract(Time * 2.0), fract(Time * 5.0), 0.5, 1.0);
}
)";
    for (int scene = 1; scene <= 9; ++scene) {
        const int length = lengths[scene - 1];
        if (length == 0)
            continue;
        const std::string name = "data/scene" + std::to_string(scene) + ".demo";
        formats::TVOWriter mesh;
        mesh.Material(0, {});
        mesh.Positions({{0, 0, 0}, {0.4f, 0, 0}, {0, 0.4f, 0}});
        mesh.Normals({{0, 0, -1}, {0, 0, -1}, {0, 0, -1}});
        mesh.Indices(2, {0, 1, 2});
        mesh.End();
        mesh.Save(name + "_scene/triangle.tvo");
        std::ofstream(name + "_scene/triangle.tvo.efx")
            << "effect = { { priority = 1, pass = { { priority = 100, fx = \"timeTint\", tec = \"Tinted\", "
               "params = { }, streams = { \"pos\" } } } } }\n";

        std::vector<formats::DemoObjectRecord> objects;
        for (const std::string& object : MeshesOfScene(scene)) {
            formats::DemoObjectRecord record;
            record.type = "Mesh";
            record.name = object;
            record.meshName = "triangle";
            record.position = {-1.0f, -0.5f, 4.0f};
            if (object == MeshesOfScene(scene).front()) {
                const float end = static_cast<float>(length + 1);
                record.curves.push_back({"LocX",
                                         "Linear",
                                         "Constant",
                                         {{0, -1.5f, 1, -1.5f, 2, -1.5f}, {end - 1, 1, end, 1, end + 1, 1}}});
            }
            // Offsets one small step aside, so the copies spread across the view.
            if (object.find("Modifier") != std::string::npos || object == "Offset")
                record.position = {-0.8f, -0.5f, 4.0f};
            objects.push_back(record);
        }
        for (const std::string& empty : EmptiesOfScene(scene)) {
            formats::DemoObjectRecord record;
            record.name = empty;
            // Far enough that the sparks, rising 40 units a second, cross the view in about a second.
            record.position = {0.0f, -15.0f, 40.0f};
            objects.push_back(record);
        }
        formats::DemoWriter::Scene(length, objects).Save(name);
    }
}

} // namespace quorvel::test

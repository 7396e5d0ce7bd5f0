// An effect: the ordered shaders an object is drawn with (each queues the object once) and the union
// of the vertex streams they need, which the mesh loader checks against the file's data.
#pragma once

#include <boost/shared_ptr.hpp>

#include <map>
#include <set>
#include <vector>

namespace engine::gfx {

class Shader;

// Vertex streams a shader can ask a mesh for.
enum Stream : int { StreamPositions = 0, StreamNormals = 1, StreamTexCoords = 2, StreamTangentFrame = 3 };

class Effect {
public:
    // Appends the shader and adds the streams it needs.
    void AddShader(boost::shared_ptr<Shader> shader);
    // True when every shader runs with the device's capabilities; an effect without shaders does.
    bool IsSupported();
    // Lets every shader bind its parameters; called once on the effect chosen for use.
    void Finalize();

    const std::vector<boost::shared_ptr<Shader>>& GetPasses() const { return passes; }
    const std::set<int>& GetStreams() const { return streams; }
    // Rank of the effect under a pool key; the pool keeps the better-ranked effect per key.
    std::map<int, int>& GetRanks() { return ranks; }

private:
    std::vector<boost::shared_ptr<Shader>> passes;
    std::map<int, int> ranks;
    std::set<int> streams;
};

} // namespace engine::gfx

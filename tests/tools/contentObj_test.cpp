// OBJ import: polygons, computed normals, welding, several objects, and the errors a broken file gives.
#include "content/content.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace quorvel::content;

namespace {

const std::string kObjFolder = QUORVEL_SOURCE_DIR "/tests/tools/data/obj/";

MeshData Import(const std::string& name) {
    MeshData mesh;
    ImportError error;
    EXPECT_TRUE(ImportObj(kObjFolder + name, mesh, error)) << error.line << ": " << error.reason;
    return mesh;
}

ImportError ErrorOf(const std::string& name) {
    MeshData mesh;
    ImportError error;
    EXPECT_FALSE(ImportObj(kObjFolder + name, mesh, error));
    EXPECT_EQ(error.file, kObjFolder + name);
    return error;
}

// The triangle's signed area seen down +Z: negative when it runs clockwise, i.e. faces -Z.
float AreaTowardsViewer(const MeshData& mesh, std::size_t triangle) {
    const Float3& a = mesh.positions[mesh.indices[3 * triangle]];
    const Float3& b = mesh.positions[mesh.indices[3 * triangle + 1]];
    const Float3& c = mesh.positions[mesh.indices[3 * triangle + 2]];
    return 0.5f * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
}

} // namespace

TEST(ContentObj, MergesObjectsAndCutsConcavePolygonsKeepingTheirWinding) {
    const MeshData mesh = Import("shapes.obj");
    // A quad and an L-shaped hexagon: 2 + 4 triangles over 4 + 6 distinct corners.
    ASSERT_EQ(mesh.indices.size(), 18u);
    EXPECT_EQ(mesh.positions.size(), 10u);
    ASSERT_EQ(mesh.texCoords.size(), 10u);
    float area = 0;
    for (std::size_t t = 0; t < 6; ++t) {
        EXPECT_LT(AreaTowardsViewer(mesh, t), 0.0f) << "triangle " << t << " turned over";
        area += AreaTowardsViewer(mesh, t);
    }
    EXPECT_FLOAT_EQ(area, -4.0f) << "the triangles must cover the polygons exactly once";
    for (const Float3& n : mesh.normals)
        EXPECT_EQ(n, (Float3{0, 0, -1}));
    // The quad's relative indices pair each corner with its own texture coordinate.
    for (std::size_t i = 0; i < mesh.positions.size(); ++i)
        if (mesh.positions[i] == Float3{0, 1, 0}) {
            EXPECT_EQ(mesh.texCoords[i], (Float2{0, 0}));
        }
}

TEST(ContentObj, ComputesFlatOrSmoothNormalsAsTheSmoothingGroupsSay) {
    const MeshData flat = Import("cube_flat.obj");
    EXPECT_EQ(flat.positions.size(), 24u) << "each face's corners keep their own flat normal";
    EXPECT_TRUE(flat.texCoords.empty());
    for (std::size_t i = 0; i < flat.positions.size(); ++i) {
        const Float3& n = flat.normals[i];
        EXPECT_FLOAT_EQ(std::fabs(n[0]) + std::fabs(n[1]) + std::fabs(n[2]), 1.0f);
        for (int axis = 0; axis < 3; ++axis)
            if (n[axis] != 0) {
                EXPECT_EQ(n[axis], flat.positions[i][axis]) << "the normal points out of its face";
            }
    }

    const MeshData smooth = Import("cube_smooth.obj");
    EXPECT_EQ(smooth.positions.size(), 8u) << "one vertex per corner";
    const float third = 1.0f / std::sqrt(3.0f);
    for (std::size_t i = 0; i < smooth.positions.size(); ++i)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_NEAR(smooth.normals[i][axis], smooth.positions[i][axis] * third, 1e-6f);
    EXPECT_EQ(smooth.indices.size(), 36u);
}

TEST(ContentObj, ReportsTheFileLineAndReasonOfWhatItCannotUse) {
    ImportError error = ErrorOf("missing.obj");
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(error.reason.find("cannot open"), std::string::npos) << error.reason;
    EXPECT_NE(ErrorOf("").reason.find("cannot open"), std::string::npos) << "a folder is no file";

    error = ErrorOf("index_out_of_range.obj");
    EXPECT_EQ(error.line, 6);
    EXPECT_NE(error.reason.find("position 4 but the file has only 3 positions"), std::string::npos)
        << error.reason;
    EXPECT_NE(error.reason.find("\"f 1 2 4\""), std::string::npos) << error.reason;

    error = ErrorOf("relative_before_first.obj");
    EXPECT_EQ(error.line, 4);
    EXPECT_NE(error.reason.find("before the first position"), std::string::npos) << error.reason;

    error = ErrorOf("garbage_face.obj");
    EXPECT_EQ(error.line, 4);
    EXPECT_NE(error.reason.find("face index is zero or not a number in \"f one two three\""),
              std::string::npos)
        << error.reason;

    error = ErrorOf("two_corners.obj");
    EXPECT_EQ(error.line, 3);
    EXPECT_NE(error.reason.find("at least three corners"), std::string::npos) << error.reason;

    error = ErrorOf("no_faces.obj");
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(error.reason.find("no faces"), std::string::npos) << error.reason;
}

#include "effects/effectParser.h"
#include "effects/parameterTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace engine::gfx;
using engine::math::Matrix4x4;
using engine::math::Vector4f;

namespace {

const char* const kParameters = "float4x4 World : World;\n"
                                "float Time : Time = 2.5;\n"
                                "int Count = 7;\n"
                                "bool Flag < bool visible = true; >;\n"
                                "float2 F2;\n"
                                "float3 F3;\n"
                                "float4 Light : Light0;\n"
                                "float4 Other : Light0;\n"
                                "texture Base;\n"
                                "shared float4 Fog = { 1, 2, 3, 4 };\n"
                                "shared int Fog2;\n";

EffectSource ParseOk(const std::string& text) {
    EffectDiagnostic error;
    auto effect = ParseEffect(text, "params.fx", error);
    EXPECT_TRUE(effect.has_value()) << error.Text();
    return effect ? std::move(*effect) : EffectSource{};
}

template <class T>
T Read(ParameterHandle parameter, int index = 0) {
    T value;
    std::memcpy(&value, parameter->Value().bytes.data() + 4 * index, sizeof value);
    return value;
}

} // namespace

TEST(ParameterTable, FindsParametersByExactNameAndSemantic) {
    const EffectSource effect = ParseOk(kParameters);
    ParameterTable table(effect, nullptr);
    EXPECT_EQ(table.Count(), 11u);
    ParameterHandle time = table.GetParameterByName("Time");
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->Type(), ParameterType::Float);
    EXPECT_EQ(Read<float>(time), 2.5f);
    EXPECT_EQ(table.GetParameterBySemantic("Time"), time);
    EXPECT_EQ(table.GetParameterBySemantic("World"), table.At(0));
    EXPECT_EQ(table.GetParameterBySemantic("Light0"), table.GetParameterByName("Light"));
    EXPECT_EQ(table.GetParameterByName("time"), nullptr);
    EXPECT_EQ(table.GetParameterBySemantic("world"), nullptr);
    EXPECT_EQ(table.GetParameterBySemantic(""), nullptr);
    EXPECT_EQ(table.At(11), nullptr);
    bool visible = false;
    EXPECT_TRUE(GetBool(FindAnnotation(table.GetParameterByName("Flag")->Annotations(), "visible"), visible));
    EXPECT_TRUE(visible);
}

TEST(ParameterTable, RawValuesKeepTheirBitPatternsWithinTheParameter) {
    const EffectSource effect = ParseOk(kParameters);
    ParameterTable table(effect, nullptr);
    ParameterHandle count = table.GetParameterByName("Count");
    ParameterHandle time = table.GetParameterByName("Time");
    ParameterHandle flag = table.GetParameterByName("Flag");
    ParameterHandle light = table.GetParameterByName("Light");

    const std::int32_t integer = -123456;
    EXPECT_TRUE(table.SetRawValue(count, &integer, 0, 4));
    EXPECT_EQ(Read<std::int32_t>(count), -123456);
    // An int's bits written into a float parameter stay those bits: nothing is converted.
    EXPECT_TRUE(table.SetRawValue(time, &integer, 0, 4));
    EXPECT_EQ(Read<std::int32_t>(time), -123456);
    const bool on = true;
    EXPECT_TRUE(table.SetRawValue(flag, &on, 0, 1));
    EXPECT_EQ(Read<std::int32_t>(flag), 1);
    const float values[4] = {1.5f, -2.0f, 3.25f, 4.0f};
    for (std::size_t bytes : {8u, 12u, 16u}) {
        EXPECT_TRUE(table.SetRawValue(table.GetParameterByName(bytes == 8    ? "F2"
                                                               : bytes == 12 ? "F3"
                                                                             : "Light"),
                                      values, 0, bytes));
    }
    EXPECT_EQ(Read<float>(table.GetParameterByName("F2"), 1), -2.0f);
    EXPECT_EQ(Read<float>(table.GetParameterByName("F3"), 2), 3.25f);
    EXPECT_EQ(Read<float>(light, 3), 4.0f);
    EXPECT_TRUE(table.SetRawValue(light, values, 8, 8));
    EXPECT_EQ(Read<float>(light, 2), 1.5f);

    const std::uint64_t before = light->Value().version;
    EXPECT_FALSE(table.SetRawValue(light, values, 4, 16)); // past the end
    EXPECT_FALSE(table.SetRawValue(light, values, 17, 0));
    EXPECT_FALSE(table.SetRawValue(count, values, 0, 8));
    EXPECT_FALSE(table.SetRawValue(table.GetParameterByName("Base"), values, 0, 4));
    EXPECT_FALSE(table.SetRawValue(light, nullptr, 0, 4));
    EXPECT_FALSE(table.SetRawValue(nullptr, values, 0, 4));
    EXPECT_EQ(light->Value().version, before);
    EXPECT_EQ(Read<float>(light, 3), -2.0f);
}

TEST(ParameterTable, TypedSettersConvertOrRefuseAndNullHandlesChangeNothing) {
    const EffectSource effect = ParseOk(kParameters);
    ParameterTable table(effect, nullptr);
    ParameterHandle world = table.GetParameterByName("World");
    ParameterHandle count = table.GetParameterByName("Count");
    ParameterHandle flag = table.GetParameterByName("Flag");
    ParameterHandle f3 = table.GetParameterByName("F3");
    ParameterHandle base = table.GetParameterByName("Base");

    Matrix4x4 matrix(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_TRUE(table.SetMatrix(world, matrix));
    EXPECT_EQ(std::memcmp(world->Value().bytes.data(), matrix.m, 64), 0); // unchanged, row-major
    EXPECT_FALSE(table.SetMatrix(f3, matrix));

    EXPECT_TRUE(table.SetFloat(count, -7.9f));
    EXPECT_EQ(Read<std::int32_t>(count), -7);
    EXPECT_TRUE(table.SetFloat(count, 1e20f));
    EXPECT_EQ(Read<std::int32_t>(count), 2147483647);
    EXPECT_TRUE(table.SetFloat(flag, 0.5f));
    EXPECT_EQ(Read<std::int32_t>(flag), 1);
    EXPECT_FALSE(table.SetFloat(f3, 1.0f));

    EXPECT_TRUE(table.SetVector(f3, Vector4f(1, 2, 3, 4)));
    EXPECT_EQ(Read<float>(f3, 2), 3.0f);
    EXPECT_EQ(Read<float>(f3, 3), 0.0f); // the next parameter's storage is not this one's
    EXPECT_FALSE(table.SetVector(world, Vector4f(1, 2, 3, 4)));
    EXPECT_FALSE(table.SetVector(count, Vector4f(1, 2, 3, 4)));

    auto* texture = reinterpret_cast<engine::gpu::Texture*>(0x1000);
    EXPECT_TRUE(table.SetTexture(base, texture));
    EXPECT_EQ(base->Value().texture, texture);
    EXPECT_FALSE(table.SetTexture(count, texture));

    EXPECT_FALSE(table.SetFloat(nullptr, 1.0f));
    EXPECT_FALSE(table.SetVector(nullptr, Vector4f(1, 2, 3, 4)));
    EXPECT_FALSE(table.SetMatrix(nullptr, matrix));
    EXPECT_FALSE(table.SetTexture(nullptr, texture));
}

TEST(ParameterTable, TheVersionMovesOnlyWhenTheStoredValueChanges) {
    const EffectSource effect = ParseOk(kParameters);
    ParameterTable table(effect, nullptr);
    ParameterHandle time = table.GetParameterByName("Time");
    ParameterHandle base = table.GetParameterByName("Base");
    const std::uint64_t start = time->Value().version;
    EXPECT_GT(start, 0u);
    EXPECT_TRUE(table.SetFloat(time, 2.5f)); // the initial value again
    EXPECT_EQ(time->Value().version, start);
    EXPECT_TRUE(table.SetFloat(time, 3.0f));
    EXPECT_EQ(time->Value().version, start + 1);
    EXPECT_TRUE(table.SetFloat(time, 3.0f));
    EXPECT_EQ(time->Value().version, start + 1);

    auto* texture = reinterpret_cast<engine::gpu::Texture*>(0x2000);
    const std::uint64_t textureStart = base->Value().version;
    table.SetTexture(base, texture);
    table.SetTexture(base, texture);
    EXPECT_EQ(base->Value().version, textureStart + 1);
}

TEST(SharedParameterPool, SharesOneValuePerNameAndTypeAcrossEffects) {
    const EffectSource first = ParseOk(kParameters);
    const EffectSource second = ParseOk("shared float4 Fog = { 9, 9, 9, 9 };\n"
                                        "shared float Fog2;\n" // same name as an int: another value
                                        "float4 Light : Light0;\n");
    SharedParameterPool pool;
    ParameterTable a(first, &pool);
    ParameterTable b(second, &pool);
    EXPECT_EQ(pool.Count(), 3u);

    ParameterHandle fogA = a.GetParameterByName("Fog");
    ParameterHandle fogB = b.GetParameterByName("Fog");
    EXPECT_TRUE(fogA->IsShared());
    EXPECT_EQ(&fogA->Value(), &fogB->Value());
    EXPECT_EQ(Read<float>(fogB, 0), 1.0f); // the first declaration's initial value stays
    EXPECT_TRUE(b.SetVector(fogB, Vector4f(5, 6, 7, 8)));
    EXPECT_EQ(Read<float>(fogA, 3), 8.0f);

    EXPECT_NE(&a.GetParameterByName("Fog2")->Value(), &b.GetParameterByName("Fog2")->Value());
    EXPECT_NE(&a.GetParameterByName("Light")->Value(), &b.GetParameterByName("Light")->Value());

    // A third effect created later sees the value already set, not its own initial value.
    ParameterTable c(second, &pool);
    EXPECT_EQ(Read<float>(c.GetParameterByName("Fog"), 0), 5.0f);
}

// Emissive surfaces: light sources seen as objects (a sun, the light at the end of the demo, glowing
// buds), unlit and as bright as their colour says, so that the bloom makes them glow. "Glow" is solid;
// "Halo" adds a soft shell over what lies behind, brightest where it faces the eye and fading to
// nothing at its silhouette, which turns a sphere around a light into a glow that has no edge.
//
// Both draw both faces, so a camera that flies into the object is filled by its light. Pulse may be
// bound to a global curve ({ "ipo", "Pulse", "beat" }) and adds PulseGain times its value to the
// intensity. Material scripts bind the texture with { "tex", "DiffuseMap", "tex0" }. Streams: pos,
// normal, tex.

float4x4 World : World;
float4x4 WorldViewProjection : WorldViewProjection;
// Holds the inverse world matrix: with the vector on the left it transforms normals correctly.
float4x4 WorldInverse : WorldInverseTranspose;
float4x4 ViewInverse : ViewInverse;

texture DiffuseMap < string slot = "tex0"; >
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

float4 EmissiveColor = { 1.0, 1.0, 1.0, 1.0 };
float Intensity = 1.0;
float Pulse = 0.0;
float PulseGain = 0.0;
float HaloPower < string help = "higher values keep the halo closer to its centre"; > = 2.0;

technique Glow
{
    pass Solid
    {
        VertexShader = EmissiveVertex;
        FragmentShader = EmissiveInputs, GlowFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
        CullMode = None;
    }
}

technique Halo
{
    pass Shell
    {
        VertexShader = EmissiveVertex;
        FragmentShader = EmissiveInputs, HaloFragment;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = false;
        CullMode = None;
    }
}

-- glsl EmissiveVertex
in vec3 POSITION;
in vec3 NORMAL;
in vec2 TEXCOORD0;

out vec3 worldPosition;
out vec3 worldNormal;
out vec2 uv;

void main()
{
    vec4 position = vec4(POSITION, 1.0);
    worldPosition = (World * position).xyz;
    worldNormal = (vec4(NORMAL, 0.0) * WorldInverse).xyz;
    uv = TEXCOORD0;
    gl_Position = WorldViewProjection * position;
}

-- glsl EmissiveInputs
in vec3 worldPosition;
in vec3 worldNormal;
in vec2 uv;

out vec4 FragmentColor;

vec3 Emitted()
{
    return texture(DiffuseMap, uv).rgb * EmissiveColor.rgb * (Intensity + PulseGain * Pulse);
}

-- glsl GlowFragment
void main()
{
    FragmentColor = vec4(Emitted(), 1.0);
}

-- glsl HaloFragment
void main()
{
    vec3 toEye = normalize(ViewInverse[3].xyz - worldPosition);
    // Either face may be the one seen: the shell is as bright from inside as from outside.
    float facing = abs(dot(normalize(worldNormal), toEye));
    FragmentColor = vec4(Emitted() * pow(facing, HaloPower), 1.0);
}

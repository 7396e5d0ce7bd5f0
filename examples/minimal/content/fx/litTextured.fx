// Per-pixel lit, textured objects: the scene's first light as a point light with diffuse and
// Blinn-Phong specular terms over a constant ambient. "RimLight" adds a light along the silhouette,
// strongest where the surface turns away from the eye.
//
// Material scripts bind the object's texture with { "tex", "DiffuseMap", "tex0" } and may override
// any of the colours and strengths below. Streams: pos, normal, tex.

float4x4 World : World;
float4x4 WorldViewProjection : WorldViewProjection;
// Holds the inverse world matrix: with the vector on the left it transforms normals correctly.
float4x4 WorldInverse : WorldInverseTranspose;
float4x4 ViewInverse : ViewInverse;
float4 LightPosition : Light0;

texture DiffuseMap < string slot = "tex0"; >
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Wrap;
    AddressV = Wrap;
};

float4 AmbientColor = { 0.15, 0.15, 0.2, 1.0 };
float4 LightColor = { 1.0, 0.95, 0.9, 1.0 };
float SpecularPower = 32.0;
float SpecularIntensity = 0.4;
float4 RimColor < string help = "colour of the silhouette light"; > = { 0.5, 0.7, 1.0, 1.0 };
float RimPower < string help = "higher values keep the rim thinner"; > = 3.0;

technique Plain
{
    pass Lit
    {
        VertexShader = LitVertex;
        FragmentShader = Lighting, PlainFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
    }
}

technique RimLight
{
    pass Lit
    {
        VertexShader = LitVertex;
        FragmentShader = Lighting, RimFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
    }
}

-- glsl LitVertex
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

-- glsl Lighting
in vec3 worldPosition;
in vec3 worldNormal;
in vec2 uv;

out vec4 FragmentColor;

// The camera sits at the translation row of the inverse view matrix.
vec3 EyePosition()
{
    return ViewInverse[3].xyz;
}

vec3 Lit(vec3 normal, vec3 toEye, vec3 albedo)
{
    vec3 toLight = normalize(LightPosition.xyz - worldPosition);
    float diffuse = max(dot(normal, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    float specular = diffuse > 0.0 ? pow(max(dot(normal, halfway), 0.0), SpecularPower) : 0.0;
    return albedo * (AmbientColor.rgb + LightColor.rgb * diffuse) +
           LightColor.rgb * specular * SpecularIntensity;
}

-- glsl PlainFragment
void main()
{
    vec4 albedo = texture(DiffuseMap, uv);
    vec3 normal = normalize(worldNormal);
    vec3 toEye = normalize(EyePosition() - worldPosition);
    FragmentColor = vec4(Lit(normal, toEye, albedo.rgb), albedo.a);
}

-- glsl RimFragment
void main()
{
    vec4 albedo = texture(DiffuseMap, uv);
    vec3 normal = normalize(worldNormal);
    vec3 toEye = normalize(EyePosition() - worldPosition);
    float rim = pow(1.0 - max(dot(normal, toEye), 0.0), RimPower);
    FragmentColor = vec4(Lit(normal, toEye, albedo.rgb) + RimColor.rgb * rim, albedo.a);
}

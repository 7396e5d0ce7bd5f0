// Foliage: leaves and grass blades lit by the scene's first light, with the light that shines through
// a thin blade from behind (a low sun turns a field's silhouettes gold), a rim along the edges for the
// bloom to catch, and, in "Swaying", a wind that bends every blade.
//
// The wind works in the object's own space, so the gusts roll across a field whatever the camera does:
// a vertex moves along WindDirection by a travelling wave, the more the higher it stands above the
// object's origin (full at WindHeight), so blades keep their roots. The array modifier writes its
// copies into the object's space, which makes every copy of a field sway in its own phase.
//
// Leaves and blades carry both faces, each with its own normal: the back faces are culled so that the
// two never fight over a pixel. Material scripts bind the texture with { "tex", "DiffuseMap", "tex0" }.
// Streams: pos, normal, tex.

float4x4 World : World;
float4x4 WorldViewProjection : WorldViewProjection;
// Holds the inverse world matrix: with the vector on the left it transforms normals correctly.
float4x4 WorldInverse : WorldInverseTranspose;
float4x4 ViewInverse : ViewInverse;
float4 LightPosition : Light0;
float Time : Time;

texture DiffuseMap < string slot = "tex0"; >
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

float4 AmbientColor = { 0.04, 0.07, 0.04, 1.0 };
float4 LightColor = { 1.0, 0.97, 0.85, 1.0 };
float4 TranslucentColor < string help = "light let through from the far side"; > = { 0.7, 0.9, 0.3, 1.0 };
float SpecularPower = 20.0;
float SpecularIntensity = 0.25;
float4 RimColor = { 0.3, 0.8, 0.2, 1.0 };
float RimPower = 3.0;
float WindStrength < string help = "how far the top of a blade moves, in object units"; > = 0.15;
float WindHeight < string help = "height above the origin at which the bend is full"; > = 1.0;
float WindSpeed < string help = "radians of the wave per second"; > = 1.6;
float WindScale < string help = "radians of the wave per object unit along the wind"; > = 0.7;
float2 WindDirection = { 1.0, 0.35 };

technique Swaying
{
    pass Lit
    {
        VertexShader = SwayingVertex;
        FragmentShader = FoliageFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
        CullMode = CCW;
    }
}

technique Still
{
    pass Lit
    {
        VertexShader = StillVertex;
        FragmentShader = FoliageFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
        CullMode = CCW;
    }
}

-- glsl SwayingVertex
in vec3 POSITION;
in vec3 NORMAL;
in vec2 TEXCOORD0;

out vec3 worldPosition;
out vec3 worldNormal;
out vec2 uv;

vec3 Swayed(vec3 position)
{
    vec2 along = normalize(WindDirection);
    float bend = clamp(position.y / WindHeight, 0.0, 1.0);
    float phase = WindSpeed * Time - WindScale * dot(position.xz, along);
    // A second, faster wave keeps the gusts from looking like one sine.
    float gust = sin(phase) + 0.35 * sin(2.3 * phase + 1.7);
    position.xz += along * (gust * WindStrength * bend * bend);
    return position;
}

void main()
{
    vec4 position = vec4(Swayed(POSITION), 1.0);
    worldPosition = (World * position).xyz;
    worldNormal = (vec4(NORMAL, 0.0) * WorldInverse).xyz;
    uv = TEXCOORD0;
    gl_Position = WorldViewProjection * position;
}

-- glsl StillVertex
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

-- glsl FoliageFragment
in vec3 worldPosition;
in vec3 worldNormal;
in vec2 uv;

out vec4 FragmentColor;

void main()
{
    vec4 albedo = texture(DiffuseMap, uv);
    vec3 normal = normalize(worldNormal);
    // The camera sits at the translation row of the inverse view matrix.
    vec3 toEye = normalize(ViewInverse[3].xyz - worldPosition);
    vec3 toLight = normalize(LightPosition.xyz - worldPosition);
    float facing = dot(normal, toLight);
    float diffuse = max(facing, 0.0);
    // Light reaching the far face shows through, strongest when the light stands behind the blade.
    float through = max(-facing, 0.0) * (0.5 + 0.5 * max(dot(-toEye, toLight), 0.0));
    vec3 halfway = normalize(toLight + toEye);
    float specular = diffuse > 0.0 ? pow(max(dot(normal, halfway), 0.0), SpecularPower) : 0.0;
    float rim = pow(1.0 - max(dot(normal, toEye), 0.0), RimPower);
    vec3 light = AmbientColor.rgb + LightColor.rgb * diffuse + TranslucentColor.rgb * through;
    vec3 colour = albedo.rgb * light + LightColor.rgb * specular * SpecularIntensity + RimColor.rgb * rim;
    FragmentColor = vec4(colour, albedo.a);
}

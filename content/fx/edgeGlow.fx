// Solids whose edges glow, for lattices built from generated boxes. Every face of those boxes runs
// 0 to 1 in its texture coordinates, so a line along the border of each face is drawn from them
// without a texture. Over the scene's first light (a point light: diffuse and Blinn-Phong specular on
// a constant ambient) come the edge line, a band of light that sweeps across the object in its own
// space (for arrays: across the whole array, whose copies share that space), a glow of the faces that
// follows Pulse (bind it to the global curve "beat"), and a fade to black with the distance from the
// eye, so a field or a tunnel dissolves into the dark instead of ending at a hard border.
//
// "Edges" draws opaque solids; "Glass" adds faint faces and bright edges over what is already drawn,
// without writing depth, for lattices that shine through each other; "Wire" draws only the triangle
// edges as glowing lines. Streams: pos, normal, tex ("Wire" reads only pos).
//
// Every material that draws with this file shares one compiled effect, and a value a material does
// not set stays as the material drawn before left it: a material sets every parameter its technique
// reads ("Wire" reads EdgeColor, Pulse, PulseColor, Glow and FogDistance).

float4x4 World : World;
float4x4 WorldViewProjection : WorldViewProjection;
// Holds the inverse world matrix: with the vector on the left it transforms normals correctly.
float4x4 WorldInverse : WorldInverseTranspose;
float4x4 ViewInverse : ViewInverse;
float4 LightPosition : Light0;
float Time : Time;

float4 SurfaceColor = { 0.08, 0.1, 0.14, 1.0 };
float4 AmbientColor = { 0.1, 0.12, 0.18, 1.0 };
float4 LightColor = { 0.9, 0.95, 1.0, 1.0 };
float SpecularPower = 32.0;
float SpecularIntensity = 0.5;

float4 EdgeColor = { 0.55, 0.8, 1.0, 1.0 };
// Width of the edge line as a share of the face.
float EdgeWidth = 0.06;
// How many faces the texture coordinates' 0 to 1 span: a sphere or a grid drawn as one face becomes a
// net of lines.
float2 EdgeTiling = { 1.0, 1.0 };

// The sweeping band: its direction in object space (its length sets how many bands per unit), its
// speed in bands per second and its colour; black switches it off.
float3 SweepDirection = { 0.05, 0.0, 0.03 };
float SweepSpeed = 0.25;
float4 SweepColor = { 0.0, 0.0, 0.0, 1.0 };

// 0 to 1: how strongly faces and edges light up now.
float Pulse = 0.0;
float4 PulseColor = { 0.3, 0.45, 0.7, 1.0 };

// How strongly edges, sweep and pulse shine (bind it to the global curve "glow" for the strength the
// scene is given).
float Glow = 1.0;

// Distance from the eye at which the picture has faded to about a third; 0 switches the fade off.
float FogDistance = 60.0;

technique Edges
{
    pass Lit
    {
        VertexShader = LatticeVertex;
        FragmentShader = LatticeInputs, Lattice, EdgesFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = true;
    }
}

technique Glass
{
    pass Shine
    {
        VertexShader = LatticeVertex;
        FragmentShader = LatticeInputs, Lattice, GlassFragment;
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

technique Wire
{
    pass Lines
    {
        VertexShader = WireVertex;
        FragmentShader = WireFragment;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = false;
        CullMode = None;
        FillMode = Wireframe;
    }
}

-- glsl LatticeVertex
in vec3 POSITION;
in vec3 NORMAL;
in vec2 TEXCOORD0;

out vec3 worldPosition;
out vec3 worldNormal;
out vec3 objectPosition;
out vec2 uv;

void main()
{
    vec4 position = vec4(POSITION, 1.0);
    worldPosition = (World * position).xyz;
    worldNormal = (vec4(NORMAL, 0.0) * WorldInverse).xyz;
    objectPosition = POSITION;
    uv = TEXCOORD0;
    gl_Position = WorldViewProjection * position;
}

-- glsl LatticeInputs
in vec3 worldPosition;
in vec3 worldNormal;
in vec3 objectPosition;
in vec2 uv;

out vec4 FragmentColor;

-- glsl Lattice
vec3 EyePosition()
{
    return ViewInverse[3].xyz;
}

// 1 on the border of the face, falling to 0 one edge width inside it.
float EdgeLine()
{
    vec2 cell = fract(uv * EdgeTiling);
    vec2 border = min(cell, 1.0 - cell);
    float inside = min(border.x, border.y);
    return 1.0 - smoothstep(EdgeWidth * 0.5, EdgeWidth, inside);
}

// A soft band, once per unit of the sweep direction's projection, moving with time.
float Sweep()
{
    float phase = fract(dot(objectPosition, SweepDirection) - Time * SweepSpeed);
    return pow(1.0 - abs(phase * 2.0 - 1.0), 6.0);
}

float Fog()
{
    if (FogDistance <= 0.0)
        return 1.0;
    float d = length(worldPosition - EyePosition()) / FogDistance;
    return exp(-d * d);
}

// The light that comes from the object itself: edges, sweep and pulse.
vec3 Emission(float edge)
{
    float pulse = clamp(Pulse, 0.0, 1.0);
    vec3 sweep = SweepColor.rgb * Sweep();
    return (EdgeColor.rgb * edge * (1.0 + pulse) + sweep * (0.35 + edge) + PulseColor.rgb * pulse) * Glow;
}

-- glsl EdgesFragment
void main()
{
    vec3 normal = normalize(worldNormal);
    vec3 toEye = normalize(EyePosition() - worldPosition);
    vec3 toLight = normalize(LightPosition.xyz - worldPosition);
    float diffuse = max(dot(normal, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    float specular = diffuse > 0.0 ? pow(max(dot(normal, halfway), 0.0), SpecularPower) : 0.0;
    vec3 lit = SurfaceColor.rgb * (AmbientColor.rgb + LightColor.rgb * diffuse) +
               LightColor.rgb * specular * SpecularIntensity;
    FragmentColor = vec4((lit + Emission(EdgeLine())) * Fog(), 1.0);
}

-- glsl GlassFragment
void main()
{
    vec3 normal = normalize(worldNormal);
    vec3 toEye = normalize(EyePosition() - worldPosition);
    // Faces seen edge-on gather more glass, as a pane does.
    float grazing = 1.0 - abs(dot(normal, toEye));
    vec3 face = SurfaceColor.rgb * (0.4 + grazing);
    FragmentColor = vec4((face + Emission(EdgeLine())) * Fog(), 1.0);
}

-- glsl WireVertex
in vec3 POSITION;

out vec3 worldPosition;

void main()
{
    vec4 position = vec4(POSITION, 1.0);
    worldPosition = (World * position).xyz;
    gl_Position = WorldViewProjection * position;
}

-- glsl WireFragment
in vec3 worldPosition;

out vec4 FragmentColor;

void main()
{
    float fog = 1.0;
    if (FogDistance > 0.0)
    {
        float d = length(worldPosition - ViewInverse[3].xyz) / FogDistance;
        fog = exp(-d * d);
    }
    float pulse = clamp(Pulse, 0.0, 1.0);
    FragmentColor = vec4((EdgeColor.rgb * (1.0 + pulse) + PulseColor.rgb * pulse) * Glow * fog, 1.0);
}

// Additive particles coloured per vertex. The emitters write POSITION, TEXCOORD0 (the corner of the
// billboard, 0 to 1) and TEXCOORD1 (the particle colour, RGBA). "Additive" draws a soft round sprite
// without any texture; "AdditiveTextured" multiplies the colour with ParticleMap instead, bound by the
// material script ({ "tex", "ParticleMap", "data/spark.png" }). Streams: pos, tex.

float4x4 WorldViewProjection : WorldViewProjection;

texture ParticleMap
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Clamp;
    AddressV = Clamp;
};

// How quickly the soft sprite fades towards its edge.
float Softness = 2.0;

technique Additive
{
    pass Glow
    {
        VertexShader = ParticleVertex;
        FragmentShader = ParticleInputs, SoftFragment;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        CullMode = None;
    }
}

technique AdditiveTextured
{
    pass Glow
    {
        VertexShader = ParticleVertex;
        FragmentShader = ParticleInputs, TexturedFragment;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = true;
        ZWriteEnable = false;
        CullMode = None;
    }
}

-- glsl ParticleVertex
in vec3 POSITION;
in vec2 TEXCOORD0;
in vec4 TEXCOORD1;

out vec2 corner;
out vec4 colour;

void main()
{
    corner = TEXCOORD0;
    colour = TEXCOORD1;
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl ParticleInputs
in vec2 corner;
in vec4 colour;

out vec4 FragmentColor;

-- glsl SoftFragment
void main()
{
    float distanceFromCentre = length(corner * 2.0 - 1.0);
    float falloff = pow(clamp(1.0 - distanceFromCentre, 0.0, 1.0), Softness);
    FragmentColor = vec4(colour.rgb, colour.a * falloff);
}

-- glsl TexturedFragment
void main()
{
    FragmentColor = texture(ParticleMap, corner) * colour;
}

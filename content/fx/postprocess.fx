// Post-processing drawn as full-screen quads: a bright pass that keeps what is brighter than a
// threshold, a separable 9-tap Gaussian blur (horizontal, then vertical) and an additive composite.
// Each quad technique reads SourceMap, which the material script binds to a render target.
//
// "Bloom" is what a scene object's material uses to start the chain: it draws its object invisibly
// and asks for the full-screen quad with the material "bloom" (data/fx/bloom.efx), whose passes run
// BrightPass, BlurHorizontal, BlurVertical and Composite through the render targets.

float4x4 WorldViewProjection : WorldViewProjection;

texture SourceMap
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

float BrightThreshold = 0.7;
float BrightScale = 1.5;
// Distance between blur taps, in texels of SourceMap.
float BlurSpread = 1.0;
float GlowIntensity = 1.0;

technique Bloom < bool quad = true; string material = "bloom"; >
{
    pass Trigger
    {
        VertexShader = ObjectVertex;
        FragmentShader = SilentFragment;
        ColorWriteEnable = 0;
        ZWriteEnable = false;
    }
}

technique BrightPass
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = QuadInputs, BrightFragment;
        AlphaBlendEnable = false;
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        FillMode = Solid;
    }
}

technique BlurHorizontal
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = QuadInputs, Blur, BlurHorizontalFragment;
        AlphaBlendEnable = false;
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        FillMode = Solid;
    }
}

technique BlurVertical
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = QuadInputs, Blur, BlurVerticalFragment;
        AlphaBlendEnable = false;
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        FillMode = Solid;
    }
}

technique Composite
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = QuadInputs, CompositeFragment;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        BlendOp = Add;
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
        FillMode = Solid;
        ColorWriteEnable = Red | Green | Blue;
    }
}

-- glsl ObjectVertex
in vec3 POSITION;

void main()
{
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl SilentFragment
out vec4 FragmentColor;

void main()
{
    FragmentColor = vec4(0.0);
}

-- glsl FullScreenVertex
in vec3 POSITION;

out vec2 uv;

// The quad mesh spans -1 to 1 in x and y, already in clip space. Texture coordinates follow the
// Direct3D convention (v grows downwards), which is how images and render targets are sampled.
void main()
{
    uv = vec2(POSITION.x * 0.5 + 0.5, 0.5 - POSITION.y * 0.5);
    gl_Position = vec4(POSITION.xy, 0.0, 1.0);
}

-- glsl QuadInputs
in vec2 uv;

out vec4 FragmentColor;

-- glsl BrightFragment
void main()
{
    vec3 colour = texture(SourceMap, uv).rgb;
    float brightness = max(colour.r, max(colour.g, colour.b));
    float kept = max(brightness - BrightThreshold, 0.0) / max(brightness, 0.0001);
    FragmentColor = vec4(colour * kept * BrightScale, 1.0);
}

-- glsl Blur
const float weights[5] = float[5](0.2270270270, 0.1945945946, 0.1216216216, 0.0540540541, 0.0162162162);

vec4 Blur(vec2 direction)
{
    vec2 stepSize = direction * BlurSpread / vec2(textureSize(SourceMap, 0));
    vec4 sum = texture(SourceMap, uv) * weights[0];
    for (int i = 1; i < 5; ++i)
    {
        sum += texture(SourceMap, uv + stepSize * float(i)) * weights[i];
        sum += texture(SourceMap, uv - stepSize * float(i)) * weights[i];
    }
    return sum;
}

-- glsl BlurHorizontalFragment
void main()
{
    FragmentColor = Blur(vec2(1.0, 0.0));
}

-- glsl BlurVerticalFragment
void main()
{
    FragmentColor = Blur(vec2(0.0, 1.0));
}

-- glsl CompositeFragment
void main()
{
    FragmentColor = vec4(texture(SourceMap, uv).rgb * GlowIntensity, 1.0);
}

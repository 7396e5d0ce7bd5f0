// Feedback: the previous picture, the render target "lastFrame", blended over the current one with a
// slight zoom and turn about the centre, so that moving things leave fading trails.
//
// "Feedback" is what a scene object's material uses to switch it on: it draws its object invisibly
// and asks for the full-screen quad with the material "feedback" (data/fx/feedback.efx), which draws
// "Blend" with LastFrame bound to the "lastFrame" target.

float4x4 WorldViewProjection : WorldViewProjection;
float Time : Time;

texture LastFrame
{
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = None;
    AddressU = Clamp;
    AddressV = Clamp;
};

// Share of the previous picture in the result.
float FeedbackAmount = 0.6;
// Below 1 the old picture is enlarged, so trails drift outwards.
float Zoom = 0.98;
// Radians per second that the old picture turns about the centre.
float Swirl = 0.0;

technique Feedback < bool quad = true; string material = "feedback"; >
{
    pass Trigger
    {
        VertexShader = ObjectVertex;
        FragmentShader = SilentFragment;
        ColorWriteEnable = 0;
        ZWriteEnable = false;
    }
}

technique Blend
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = BlendFragment;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        BlendOp = Add;
        ZEnable = false;
        ZWriteEnable = false;
        CullMode = None;
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

// The quad mesh spans -1 to 1 in x and y, already in clip space; v grows downwards as in Direct3D.
void main()
{
    uv = vec2(POSITION.x * 0.5 + 0.5, 0.5 - POSITION.y * 0.5);
    gl_Position = vec4(POSITION.xy, 0.0, 1.0);
}

-- glsl BlendFragment
in vec2 uv;

out vec4 FragmentColor;

void main()
{
    float angle = Swirl * Time;
    mat2 turn = mat2(cos(angle), sin(angle), -sin(angle), cos(angle));
    vec2 lookup = turn * ((uv - 0.5) * Zoom) + 0.5;
    FragmentColor = vec4(texture(LastFrame, lookup).rgb, FeedbackAmount);
}

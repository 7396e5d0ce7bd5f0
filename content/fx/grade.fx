// Grade: the last touch of every picture, driven by the global curves. "Fade" takes the picture
// towards black (1 shows it whole, 0 is black) and "Flash" towards white (0 leaves it, 1 is white),
// which is how scenes fade in and out and how a scene change flashes.
//
// "Grade" is what a scene object's material uses to switch it on: it draws its object invisibly and
// asks for the full-screen quad with the material "grade" (data/fx/grade.efx), which binds Fade and
// Flash to the curves "fade" and "flash" and draws "Cover" after everything else.

float4x4 WorldViewProjection : WorldViewProjection;

float Fade = 1.0;
float Flash = 0.0;

technique Grade < bool quad = true; string material = "grade"; >
{
    pass Trigger
    {
        VertexShader = ObjectVertex;
        FragmentShader = SilentFragment;
        ColorWriteEnable = 0;
        ZWriteEnable = false;
    }
}

technique Cover
{
    pass Quad
    {
        VertexShader = FullScreenVertex;
        FragmentShader = CoverFragment;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
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

// The quad mesh spans -1 to 1 in x and y, already in clip space.
void main()
{
    gl_Position = vec4(POSITION.xy, 0.0, 1.0);
}

-- glsl CoverFragment
out vec4 FragmentColor;

// The blend keeps (1 - a) of the picture and adds the colour times a. Wanted: picture x fade x
// (1 - flash) + white x flash, so a = 1 - fade x (1 - flash) and the colour is flash / a, which never
// exceeds 1 since a >= flash.
void main()
{
    float fade = clamp(Fade, 0.0, 1.0);
    float flash = clamp(Flash, 0.0, 1.0);
    float cover = 1.0 - fade * (1.0 - flash);
    FragmentColor = vec4(vec3(cover > 0.0 ? flash / cover : 0.0), cover);
}

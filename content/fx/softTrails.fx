// Soft trails: the "lastFrame" feedback of feedback.fx, held still and weaker. The picture keeps a
// share of the last one where it is, without the zoom that makes trails drift outwards, so moving
// things leave short soft trails while bright things that stand still (a sun, a lamp) do not smear
// into streaks, and the bloom, which reads the last picture, does not feed on itself.
//
// "SoftTrails" is what a scene object's material uses to switch it on: it draws its object invisibly
// and asks for the full-screen quad with the material "softTrails" (data/fx/softTrails.efx), which
// draws the "Blend" technique of feedback.fx with its own amount and no zoom.

float4x4 WorldViewProjection : WorldViewProjection;

technique SoftTrails < bool quad = true; string material = "softTrails"; >
{
    pass Trigger
    {
        VertexShader = ObjectVertex;
        FragmentShader = SilentFragment;
        ColorWriteEnable = 0;
        ZWriteEnable = false;
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

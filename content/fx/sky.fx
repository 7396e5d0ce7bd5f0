// A sky drawn on a dome around the scene: a gradient from the horizon up to the zenith and down to the
// ground, with a sun where the scene's first light stands. The sun brings the sky up as it rises: below
// the horizon the sky keeps NightLevel of its brightness, and it is whole once the sun stands
// DayHeight (the sine of its elevation) above. Around the sun the sky takes its colour twice: in a
// tight glow whose width SunGlowPower sets and in a wide haze (SunHazePower); the disc itself is SunSize
// radians across, bright enough to bloom.
//
// Everything is measured in the dome's own space from the eye, so the dome may be any size and sit
// anywhere around the camera; its y axis is up. Both faces are drawn, so the camera sees it from inside.
// Streams: pos.

float4x4 WorldViewProjection : WorldViewProjection;
float4x4 WorldInverse : WorldInverseTranspose;
float4x4 ViewInverse : ViewInverse;
float4 LightPosition : Light0;

float4 ZenithColor = { 0.03, 0.04, 0.12, 1.0 };
float4 HorizonColor = { 0.85, 0.42, 0.22, 1.0 };
float4 GroundColor = { 0.02, 0.025, 0.02, 1.0 };
float4 SunColor = { 1.0, 0.8, 0.5, 1.0 };
float ZenithFalloff < string help = "higher values keep the horizon's colour lower"; > = 0.45;
float SunSize = 0.05;
float SunGlowPower = 300.0;
float SunGlowStrength = 0.9;
float SunHazePower = 6.0;
float SunHazeStrength = 0.15;
float NightLevel = 0.25;
float DayHeight = 0.35;

technique Sky
{
    pass Dome
    {
        VertexShader = DomeVertex;
        FragmentShader = SkyFragment;
        AlphaBlendEnable = false;
        ZEnable = true;
        ZFunc = LessEqual;
        ZWriteEnable = false;
        CullMode = None;
    }
}

-- glsl DomeVertex
in vec3 POSITION;

out vec3 domePosition;

void main()
{
    domePosition = POSITION;
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl SkyFragment
in vec3 domePosition;

out vec4 FragmentColor;

// A point of the camera's space in the dome's own space: the matrix holds the inverse world matrix,
// and with the vector on the right GLSL applies it as the engine's row vectors do.
vec3 InDome(vec3 point)
{
    return (WorldInverse * vec4(point, 1.0)).xyz;
}

void main()
{
    vec3 eye = InDome(ViewInverse[3].xyz);
    vec3 look = normalize(domePosition - eye);
    vec3 sun = normalize(InDome(LightPosition.xyz) - eye);

    vec3 sky = look.y >= 0.0 ? mix(HorizonColor.rgb, ZenithColor.rgb, pow(look.y, ZenithFalloff))
                             : mix(HorizonColor.rgb, GroundColor.rgb, clamp(-look.y * 12.0, 0.0, 1.0));
    sky *= mix(NightLevel, 1.0, smoothstep(-0.1, DayHeight, sun.y));

    float towards = max(dot(look, sun), 0.0);
    float glow = pow(towards, SunGlowPower) * SunGlowStrength + pow(towards, SunHazePower) * SunHazeStrength;
    float disc = smoothstep(cos(SunSize * 0.5), cos(SunSize * 0.4), towards);
    // The ground hides the sun's disc, not its glow.
    disc *= step(0.0, look.y);
    FragmentColor = vec4(sky + SunColor.rgb * (glow + 2.0 * disc), 1.0);
}

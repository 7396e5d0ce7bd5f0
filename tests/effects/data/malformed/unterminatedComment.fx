/* a comment that never ends
float4 Tint;

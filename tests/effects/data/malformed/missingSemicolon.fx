float4 Tint = { 1.0, 0.5, 0.25, 1.0 }
technique T { pass P { VertexShader = V; FragmentShader = F; } }

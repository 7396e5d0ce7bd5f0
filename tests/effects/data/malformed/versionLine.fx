technique T { pass P { VertexShader = V; FragmentShader = F; } }
-- glsl V
#version 450
void main() { gl_Position = vec4(0.0); }
-- glsl F
out vec4 colour;
void main() { colour = vec4(1.0); }

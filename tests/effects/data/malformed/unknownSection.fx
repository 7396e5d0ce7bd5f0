technique T { pass P { VertexShader = Missing; FragmentShader = F; } }
-- glsl F
out vec4 colour;
void main() { colour = vec4(1.0); }

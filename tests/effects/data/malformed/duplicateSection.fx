technique T { pass P { VertexShader = V; FragmentShader = V; } }
-- glsl V
void main() {}
-- glsl V
void main() {}

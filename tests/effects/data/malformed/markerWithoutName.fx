technique T { pass P { } }
-- glsl
void main() {}

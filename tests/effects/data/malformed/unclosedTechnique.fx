technique T { pass P { CullMode = None; }

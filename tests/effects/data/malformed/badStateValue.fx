technique T { pass P { CullMode = Sideways; } }

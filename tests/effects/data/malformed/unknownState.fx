technique T { pass P { Sparkle = True; } }

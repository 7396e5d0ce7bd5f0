float2 Offset = { 1.0, 2.0, 3.0 };

float4 Tint < string UIName = "Tint; > ;

// Catastrophic backtracking.
var s = "";
for (var i = 0; i < 40; i++) s += "a";
/^(a+)+$/.test(s + "b");

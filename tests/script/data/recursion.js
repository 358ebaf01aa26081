var o = {};
o.toString = function () { return String(this); };
String(o);

var h = { get: function () { throw 1; }, has: function () { throw 2; }, ownKeys: function () { throw 3; } };
zr = new Proxy({}, h);

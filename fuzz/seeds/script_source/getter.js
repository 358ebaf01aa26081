Object.defineProperty(zr, "frame_handler_", { get: function () { throw new Error("getter"); } });

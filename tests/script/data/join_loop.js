for (;;) { new Array(100000).join("x"); }

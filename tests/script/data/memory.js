var keep = [];
for (;;) { keep.push(new Array(100000).join("y") + keep.length); }

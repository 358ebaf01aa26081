// A handler that never returns.
zr.tic_handler = function (t) {
  while (true) {}
};

var s = "ok";
ÿşÃ = 1;

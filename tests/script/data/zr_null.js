zr = null;

// Every kind of native call once, with good and bad arguments.
var s = zr.add_sound("@sounds/none.raw");
zr.set_sound_loop(s, 1);
zr.set_sound_freq(s, NaN);
zr.tic_handler = function (t) {
  zr.move_statue(0, 10 + Math.sin(t), 0, 10, t);
  zr.move_statue_absolute(1, 20, 1, 20, [1, 0, 0, 0, 1, 0, 0, 0, 1]);
  zr.pose_statue(0, 2, [1, 2, 3], [], null);
  zr.move_billboard(0, 5, 0.3 * Math.sin(t), 5);
  zr.color_billboard(1, 1, 0.5, 0, 1);
  zr.size_billboard(1, Infinity);
  var o = zr.get_running_order();
  if (o.length) zr.index_to_lap(o[0].position);
  zr.get_position(0);
  zr.get_elevation(1e308, -Infinity);
  zr.get_tile_number(NaN, 3);
  zr.get_timing(0, 2147483648);
};
zr.frame_handler = function (t) {
  var p = [], r = [];
  zr.get_camera_location(p, r);
  zr.get_gate_drop_time();
};

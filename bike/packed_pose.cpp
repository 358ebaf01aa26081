// The per-row tables that putting a packed record onto a bike reads: each joint's turn for every
// value of its byte, made once a row with exactly the arithmetic of the record's own values.
#include "bike/packed_pose.h"

#include <cmath>
#include <memory>

packed_ranges packed_row_ranges(const bike_info *row) {
    packed_ranges r = {};
    r.swingarm_travel = bike_v(row, 60);
    r.fork_travel = bike_v(row, 48);
    r.rider_travel_low = bike_v(row, 186);
    r.rider_travel_high = bike_v(row, 187);
    return r;
}

// A unit direction from a difference of rest points (left as it is when it has no length).
static void unit(double v[3]) {
    double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0) v[0] /= l, v[1] /= l, v[2] /= l;
}

static void fill(packed_row_pose &p, const bike_info *row) {
    auto V = [row](int n) { return (double)bike_v(row, n); };
    packed_ranges r = packed_row_ranges(row);
    p.upper[0] = V(23) - V(16), p.upper[1] = V(24) - V(17), p.upper[2] = V(25) - V(18);
    p.swingarm_across = V(26) - V(16);
    p.front[0] = V(0) - V(32), p.front[1] = V(1) - V(33), p.front[2] = V(2) - V(34);
    p.rear[0] = V(8) - V(26), p.rear[1] = V(9) - V(27), p.rear[2] = V(10) - V(28);
    double fork[3] = {V(32) - V(23), V(33) - V(24), V(34) - V(25)};
    double travel[3] = {V(180), V(181), V(182)};
    unit(fork);
    unit(travel);
    double dy = V(27) - V(30), dz = V(28) - V(31);
    for (int b = 0; b < 256; b++) {
        // The joints' values decoded from records holding b in every byte the table is read by.
        unsigned char record[PACKED_STATE_BYTES] = {};
        for (int i : {17, 18, 19, 20, 34, 35}) record[i] = (unsigned char)b;
        packed_values v = packed_state_decode(record, 5, r);
        double rider_travel = packed_state_decode(record, 4, r).rider_travel;
        dRFromAxisAndAngle(p.steering[b], V(23) - V(32), V(24) - V(33), V(25) - V(34), v.steering);
        dRFromAxisAndAngle(p.swingarm[b], 1, 0, 0, v.swingarm);
        dRFromAxisAndAngle(p.axle[b], -1, 0, 0, v.front_axle);
        double c = std::cos(v.swingarm), sn = std::sin(v.swingarm);
        p.swingarm_point[b][0] = V(30) + c * dy - sn * dz - V(17);
        p.swingarm_point[b][1] = V(31) + sn * dy + c * dz - V(18);
        for (int i = 0; i < 3; i++) {
            p.lower[b][i] = V(32 + i) - V(23 + i) + v.fork * fork[i];
            p.rider_v4[b][i] = V(183 + i) - V(16 + i) + rider_travel * travel[i];
        }
    }
}

const packed_row_pose *packed_row_pose_of(const bike_info *row) {
    static std::unique_ptr<packed_row_pose> tables[sizeof bike_info_table / sizeof bike_info_table[0]];
    int i = bike_info_index(row);
    if (i < 0) return nullptr;
    if (!tables[i]) {
        tables[i] = std::make_unique<packed_row_pose>();
        fill(*tables[i], row);
    }
    return tables[i].get();
}

// joints: the boundary vertices of a domain: the joint table with its append, find-or-make,
// copy, free and print, and the snapping of every joint onto the domain's grid.
#pragma once
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "domain/domain.h"

int joints_init();

// Appends a joint at (x, y, z) (z = 0 for _0) of kind 0 with its made flag set; returns
// its number. The table stops with "TABLE FULL IN NEW_JOINT" beyond 65535 joints.
uint16_t joints_new_joint_1(jointtable *t, double x, double y, double z);
uint16_t joints_new_joint_0(jointtable *t, double x, double y);
// The first joint within the grid tolerance of (x, y, 0) on every axis, or equal to it;
// otherwise the grid's box grows to the point and a new joint is made there.
uint16_t joints_make_joint_1(jointtable *t, double x, double y, BoundingGrid *g);
// The joints of a table bucketed by place, for a reader that only appends: the same
// answer as joints_make_joint_1 without a pass over every joint. The buckets follow the
// table's growth and are made again when it shrinks or the tolerance outgrows them; a
// joint moved after it was bucketed is not seen where it went.
struct JointIndex {
  const jointtable *table = nullptr;
  int32_t indexed = 0;
  double cell = 0;
  bool far = false;  // a joint too far out to bucket: every search passes over the table
  std::unordered_map<uint64_t, std::vector<uint16_t>> buckets;
};
uint16_t joints_make_joint_2(jointtable *t, double x, double y, BoundingGrid *g, JointIndex *index);
// A plain joint at the source's position with its edge list, tag, copied word, periodic
// declaration and image; returns its number.
uint16_t joints_copy_joint(jointtable *t, const Joint *src);
// Releases every joint's lists and the table; count and capacity become 0.
void joints_free(jointtable *t);
// The debug lines of joint n.
void joints_print(FILE *f, const jointtable *t, uint16_t n);
// The smallest nonzero squared distance (x, y and z) between two joints, joints of
// kind 4 left out; DOMAIN_HUGE when no pair has one.
double joints_closest_pair2(const jointtable *t);
// Fixes the grid once the boundaries are read: the scale from the closest pair of
// distinct joints (kind 4 left out), the quantum from the size, the origin at the box
// centre; then every joint is snapped onto the grid lines.
void joints_quantize(jointtable *t, BoundingGrid *g);

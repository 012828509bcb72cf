// dfeature: the mesh-spacing law of a two-dimensional domain and the operations on its
// feature block: the spacing along an edge, at any point and at a boundary sample, the
// thinning of the samples and the exchange of spacings between periodic partners.
#pragma once
#include <cstdint>
#include <vector>

struct Domain;
struct nodetable;

int dfeature_init();

// The spacing at distance d from a source that wants h0, with growth rate g: h0 + g d.
double dfeature_growfun(double h0, double g, double d);
// The spacing wanted at a point of edge e, interpolated between its samples by the
// distance along the edge; beyond the last sample, the last sample's spacing.
double dfeature_interp_feature(const Domain *d, uint16_t e, const double *point);
// The spacing wanted at a point of the domain: the base spacing lowered by every
// boundary edge and by every fixed point through the growth law. The fixed points are
// the unattached joint nodes, numbers into the mesh's node table `nodes` (null: none).
double dfeature_space_feature(const Domain *d, const double *point, const nodetable *nodes,
                              const double *least = nullptr);
// Per feature item (index k - 1 for edge k) the smallest spacing of its samples, into
// out: with it, dfeature_space_feature passes over the edges that cannot lower h sooner.
void dfeature_least_spacings(const Domain *d, std::vector<double> *out);
// Whether a point p of the boundary faces the point q across a region: the probe a
// hundredth of the way from p to q, or one as far again to either side of that line,
// lies in a region. A probe running along a straight side through p lies on the side
// itself, where the region lookup may place it on either side; the probes beside it
// settle that, and an edge seen along a side of a hole counts.
bool dfeature_faces(const Domain *d, const double *p, const double *q);
// The spacing h at a sample point of edge e (0: none) lowered by the other edges that
// face it across a region; an edge that does not touch e is capped at aspect times its
// distance.
double dfeature_bdry_feature(const Domain *d, const double *point, uint16_t e, double h);
// Removes samples whose spacing lies between their neighbours' when the neighbours are
// closer together than half the smaller of their spacings.
void dfeature_shrink_features(Domain *d);
// Gives every sample of a periodic source edge and of its image the smaller of its own
// spacing and the partner's at the mapped point.
void dfeature_mix_periodics(Domain *d);

// Socket search shared by the flooding decoder's graph and the caller-held state.
#pragma once

#include <span>

namespace linkforge::ldpc::detail {

// Two sides A and B of a bipartite graph, each node with a list of partners on the other
// side: the list of A node a is a_lists[a_offset[a] .. a_offset[a + 1]), entries indices
// of B nodes (all in 0..nb-1); likewise for B, whose entries outside 0..na-1 never match.
// For every A edge e, found[e] = the first position of its node a in the list of its
// partner b, or -1 when that list does not hold a: what scanning b's list from its start
// gives, in time linear in the edges and nodes instead of in the product of the degrees.
void first_positions(std::span<const int> a_offset, std::span<const int> a_lists,
                     std::span<const int> b_offset, std::span<const int> b_lists,
                     std::span<int> found);

}  // namespace linkforge::ldpc::detail

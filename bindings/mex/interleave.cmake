# Permutations: interleaver generators and the permuters that apply them.
target_sources(linkforge_gateway PRIVATE interleave_args.cpp)
linkforge_add_mex(WcdmaPermutation SpaceLinkPermutation SpreadPermutation SeededSpreadPermutation
                  Interleave Deinterleave)

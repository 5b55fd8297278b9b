% GraphStateSetup  Load a received block into a host-held sum-product decoder state.
%
%   GraphStateSetup(input, check_index, var_index, vn_state, cn_state)
%
%   First half of the sum-product decoder of SparseGraphSolve split into calls, for
%   scripts that do their own work between iterations: this call loads one received
%   block into a decoder state, then each GraphStateStep call runs one iteration on it.
%   The state is a pair of structure arrays that the script creates with
%   GraphStateCreate and owns: VN_STATE has one element per code bit, CN_STATE one per
%   check. The call returns nothing; it writes, into the arrays of the state in place,
%   the bit lists of the checks, the check lists of the bits, the sockets of both sides
%   (the position of each edge in the list of the node at its other end), the channel
%   values, and the starting bit-to-check messages: phi(|input(v)|) and the sign of
%   input(v) on every edge of bit v, phi as in SparseGraphSolve. The check-to-bit
%   messages are left as they are: the first step computes them before reading any.
%   Calling it again on the same state loads the next block.
%
%   Log-likelihood ratios here are ln(P(bit = 0) / P(bit = 1)), as SparseGraphSolve
%   takes them: positive favours 0. GraphStateStep takes the negated values.
%
%   The arrays are written where they lie, and in the host a copy made by assignment
%   (copy = vn_state) shares them until either is changed by the script, so the copy
%   changes too: keep one state pair per decoder, made by its own GraphStateCreate
%   call. For the same reason every field of every element must be an array of its
%   own: a state built with repmat, or with one variable assigned to several fields,
%   shares storage between fields, and the call refuses a field it writes that shares
%   storage with any other field it uses.
%
%   Arguments
%     input        1 x n received values; n is the column count and must equal
%                  numel(vn_state). Rounded to single precision; NaN is refused.
%     check_index  m x any bit indices, one row per check (m, the row count, must
%                  equal numel(cn_state)): row i lists the bits of cn_state(i) in its
%                  first cn_state(i).degree cells.
%     var_index    check indices, at least n rows: row v lists the checks of
%                  vn_state(v) in its first vn_state(v).degree cells.
%                  Indices are 0-based: index b names element b + 1. GraphStateCreate
%                  returns both matrices. Cells beyond a node's degree are not read;
%                  the others are truncated toward zero and must name an existing
%                  node. Both must describe the same H: a socket whose edge the other
%                  side does not list keeps its old contents.
%     vn_state     1 x n structure array, the bit state. Fields are reached by their
%                  position, not their name (the names are GraphStateCreate's); d is
%                  the element's degree:
%                    1 degree       int32 scalar d, read only
%                    2 channel      single scalar: input(v) in single precision
%                    3 checks       int32, d values: the check indices, in edge order
%                    4 sockets      int32, d values: 0-based positions
%                    5 q_magnitude  single, d values: phi(|q|) of each message q
%                    6 q_sign       int32, d values: 1 where q is negative, else 0
%     cn_state     1 x m structure array, the check state:
%                    1 degree       int32 scalar d, read only
%                    2 bits         int32, d values: the bit indices, in edge order
%                    3 r            single, d values: check-to-bit messages, not
%                                   written here
%                    4 sockets      int32, d values: 0-based positions
%                  Refused before anything is written: other classes, other element
%                  counts, too few fields, a field the call uses that is unset, of
%                  another class, complex or shorter than the degree, negative degrees,
%                  and storage shared as described above.
%
%   Output
%     none: the results are the arrays of vn_state and cn_state, written in place.
%
%   Limits
%     input must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%
%   Example
%     F_rows = [1 2 5 0 0; 2 3 4 5 6; 1 3 6 7 0; 4 7 8 0 0];   % H as SparseGraphSolve
%     F_cols = [1 3; 1 2; 2 3; 2 4; 1 2; 2 3; 3 4; 4 0];        % takes it, full layout
%     [vn, cn, check_index, var_index] = GraphStateCreate(F_rows, F_cols);
%     L = [1.5 1.5 -1.5 -1.5 -1.5 -1.5 -1.5 1.5];              % ln(P(0)/P(1))
%     GraphStateSetup(L, check_index, var_index, vn, cn);
%     vn(3).checks           % returns 1 2
%     vn(3).q_sign           % returns 1 1
%     vn(3).q_magnitude      % phi(1.5): returns 0.4539 0.4539
%     cn(2).bits             % returns 1 2 3 4 5
%     cn(2).sockets          % returns 1 0 0 1 0
%
%   See also GraphStateStep, GraphStateCreate, SparseGraphSolve.

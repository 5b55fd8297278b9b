% GraphStateStep  Run one sum-product iteration over a host-held decoder state.
%
%   [output, bits] = GraphStateStep(input, vn_state, cn_state, m)
%
%   Second half of the sum-product decoder of SparseGraphSolve split into calls:
%   advances a state that GraphStateSetup has loaded by one flooding iteration. Every
%   check computes new check-to-bit messages from the stored bit-to-check messages;
%   then every bit forms its output value and hard decision, and new bit-to-check
%   messages from them. The messages are written into the arrays of the state in
%   place, so the next call goes on from there; how many iterations to run, and when
%   to stop, is the script's choice.
%
%   The sign is the other way round from GraphStateSetup: INPUT holds this call's
%   channel values as ln(P(bit = 1) / P(bit = 0)), positive favouring 1 like the values
%   of the demappers and the trellis decoders, that is -L for the values L given to
%   GraphStateSetup. output(v) = input(v) - (the sum of the messages into bit v) is then
%   the negated a-posteriori value of bit v, also positive favouring 1, and bits(v) its
%   hard decision. With input = -L each call is one iteration of the sum-product
%   decoder of SparseGraphSolve with both scale factors 1: bits after call t is row t
%   of its output for every iteration it runs, up to rounding of values next to 0.
%   INPUT is read anew on every call (the channel field of the state is not read), so
%   a script may change it between calls.
%
%   The state is written in place: a copy made by assignment shares its arrays and
%   changes too, and a field the call writes (the q and r messages) must not share
%   storage with any other field it uses (see GraphStateSetup).
%
%   Arguments
%     input     1 x n channel values; n is the column count and must equal
%               numel(vn_state). NaN is refused.
%     vn_state  the bit state, as GraphStateSetup describes it: degrees, check lists
%               and sockets are read; q_magnitude and q_sign are replaced.
%     cn_state  the check state: degrees, bit lists and sockets are read; r is
%               replaced.
%     m         number of checks, numel(cn_state); the first element is read,
%               truncated toward zero.
%   Refused before anything is written: what GraphStateSetup refuses in the state, and
%   list entries or sockets that name no existing node or edge. Checks of degree 0 are
%   skipped; a bit of degree 0 outputs its input. Call GraphStateSetup first: a state
%   fresh from GraphStateCreate passes these tests but holds no graph yet.
%
%   Outputs
%     output    1 x n: output(v) = input(v) - the sum of the check-to-bit messages into
%               bit v (summed in single precision, subtracted in double).
%     bits      1 x n hard decisions: 1 where output(v) > 0, else 0.
%
%   Limits
%     input must not hold NaN or values beyond the single-precision range (an
%     infinity or a magnitude of 3.4e38 or more).
%     A call that would need more memory than the memory budget (2 GiB, or a quarter
%     of the physical memory where that is less) is refused before it allocates
%     anything; setenv("LINKFORGE_MEMORY_BUDGET", "8G") raises the budget, as does
%     the environment variable.
%     Ctrl-C stops a long call at once.
%
%   Example
%     F_rows = [1 2 5 0 0; 2 3 4 5 6; 1 3 6 7 0; 4 7 8 0 0];   % H as SparseGraphSolve
%     F_cols = [1 3; 1 2; 2 3; 2 4; 1 2; 2 3; 3 4; 4 0];        % takes it, full layout
%     [vn, cn, check_index, var_index] = GraphStateCreate(F_rows, F_cols);
%     % codeword 1 0 1 1 1 1 1 0 received with bit 1 wrong, L = ln(P(0)/P(1)):
%     L = [1.5 1.5 -1.5 -1.5 -1.5 -1.5 -1.5 1.5];
%     GraphStateSetup(L, check_index, var_index, vn, cn);
%     [output, bits] = GraphStateStep(-L, vn, cn, 4);
%     % bits = 0 0 1 1 1 1 1 0
%     [output, bits] = GraphStateStep(-L, vn, cn, 4);
%     % bits = 1 0 1 1 1 1 1 0
%     output(1:2)                                      % returns 0.5863 -0.9261
%     ref = SparseGraphSolve(L, F_rows, F_cols, 2);
%     isequal(bits, ref(2, :))                         % returns 1
%
%   See also GraphStateSetup, GraphStateCreate, SparseGraphSolve.

## [vn_state, cn_state, check_index, var_index] = GraphStateCreate (H_rows, H_cols)
##
## Creates the decoder state that GraphStateSetup fills and GraphStateStep advances, for
## the parity-check matrix H described as SparseGraphSolve takes it in its full layout:
## H_rows has one row per check listing the 1-based columns of its ones, H_cols one row
## per bit listing the 1-based rows of its ones, each row's positions first and zeros
## after them. Both must describe the same H, each one of H once.
##
## vn_state (1 x n) has the fields, in this order: degree (int32), channel (single),
## checks and sockets (int32, one per edge), q_magnitude (single) and q_sign (int32);
## cn_state (1 x m): degree (int32), bits (int32), r (single) and sockets (int32). The
## modules reach the fields by position, not by name. Every field of every element is an
## array of its own: the modules write into the arrays in place, so arrays that share
## storage (a state made with repmat, or one variable assigned to many fields) would
## overwrite each other, and the modules refuse them.
##
## check_index (m rows) and var_index (n rows) are the 0-based index matrices that
## GraphStateSetup takes, -1 beyond each row's degree.
##
## The modules change vn_state and cn_state in the caller's workspace, and with them every
## copy made by assignment (a copy shares the arrays until either is changed by the host):
## create a separate pair for every decoder that runs at the same time.
##
## Example, 30 iterations on log-likelihood ratios llr = ln(P(0) / P(1)):
##
##   [vn, cn, check_index, var_index] = GraphStateCreate (H_rows, H_cols);
##   GraphStateSetup (llr, check_index, var_index, vn, cn);
##   for it = 1:30
##     [app, bits] = GraphStateStep (-llr, vn, cn, rows (H_rows));
##   endfor

function [vn_state, cn_state, check_index, var_index] = GraphStateCreate (H_rows, H_cols)
  if (nargin != 2)
    print_usage ();
  endif
  m = rows (H_rows);
  n = rows (H_cols);
  [check_index, check_degree] = zero_based (H_rows, n, "H_rows");
  [var_index, var_degree] = zero_based (H_cols, m, "H_cols");

  [i, ~] = find (check_index >= 0);
  from_rows = sparse (i, check_index(check_index >= 0) + 1, 1, m, n);
  [v, ~] = find (var_index >= 0);
  from_cols = sparse (var_index(var_index >= 0) + 1, v, 1, m, n);
  if (any (nonzeros (from_rows) > 1) || any (nonzeros (from_cols) > 1))
    error ("GraphStateCreate: a row of H_rows or H_cols lists a position twice");
  endif
  if (! isequal (from_rows, from_cols))
    error ("GraphStateCreate: H_rows and H_cols do not describe the same matrix");
  endif

  dv = var_degree(:).';
  dc = check_degree(:).';
  vn_state = struct ("degree", num2cell (int32 (dv)),
                     "channel", num2cell (zeros (1, n, "single")),
                     "checks", arrays (dv, "int32"),
                     "sockets", arrays (dv, "int32"),
                     "q_magnitude", arrays (dv, "single"),
                     "q_sign", arrays (dv, "int32"));
  cn_state = struct ("degree", num2cell (int32 (dc)),
                     "bits", arrays (dc, "int32"),
                     "r", arrays (dc, "single"),
                     "sockets", arrays (dc, "int32"));
endfunction

## 0-based index matrix and row degrees of a 1-based, zero-padded index matrix whose
## positions must lie in 1..limit (truncated toward zero, as SparseGraphSolve reads them).
function [index, degree] = zero_based (H, limit, name)
  if (! ((isnumeric (H) || islogical (H)) && isreal (H) && ismatrix (H)) || issparse (H))
    error ("GraphStateCreate: %s must be a real full numeric matrix", name);
  endif
  H = double (H);
  degree = sum (H > 0, 2);
  listed = (1:columns (H)) <= degree;
  if (any (! (H(listed) > 0)))
    error ("GraphStateCreate: each row of %s must list its positions first, then zeros", name);
  endif
  index = -ones (size (H));
  index(listed) = max (fix (H(listed) - 1), 0);
  if (any (index(listed) >= limit))
    error ("GraphStateCreate: %s lists a position outside 1..%d", name, limit);
  endif
  index = index(:, 1:max ([degree; 0]));
endfunction

## A 1 x numel(degree) cell of zero arrays, a separate one of length degree(k) per cell.
function c = arrays (degree, class_name)
  c = arrayfun (@(d) zeros (1, d, class_name), degree, "UniformOutput", false);
endfunction

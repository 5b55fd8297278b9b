## code = lf_ldpc_code (k, m, column_weight)
##
## A random staircase LDPC code: k data columns, each with COLUMN_WEIGHT (default 3)
## ones in distinct rows of the m checks, spread so that the checks' data degrees differ
## by at most one, followed by the m x m dual-diagonal parity
## part (parity column i has ones in rows i and i + 1, the last one only in row m).
## Returned as the index matrices the modules take (1-based positions, zero-padded):
##   code.H_rows, code.H_cols            staircase layout, the k data columns only
##                                       (ParityCheckCoder, SparseGraphSolve)
##   code.H_rows_full, code.H_cols_full  all n = k + m columns (GraphStateCreate)
## and code.n, code.k, code.m.
function code = lf_ldpc_code (k, m, column_weight = 3)
  n = k + m;
  cols = data_columns (k, m, column_weight);
  full_cols = zeros (n, max (column_weight, 2));
  full_cols(1:k, 1:column_weight) = cols;
  full_cols(k+1:n, 1:2) = [(1:m)', [(2:m)'; 0]];
  code = struct ("n", n, "k", k, "m", m, "H_rows", rows_of (cols, m), "H_cols", cols,
                 "H_rows_full", rows_of (full_cols, m), "H_cols_full", full_cols);
endfunction

## The row lists of the matrix whose column j has ones in the rows cols(j, :) > 0.
function H_rows = rows_of (cols, m)
  [j, ~] = find (cols > 0);
  i = cols(cols > 0);
  [i, order] = sort (i(:));
  j = j(order);
  degree = accumarray (i, 1, [m 1]);
  H_rows = zeros (m, max ([degree; 1]));
  slot = (1:numel (i))' - cumsum ([0; degree(1:end-1)])(i);
  H_rows(sub2ind (size (H_rows), i, slot)) = j;
endfunction

## Column j lists its rows cols(j, :): the k * w data edges take the rows in turn from a
## random permutation of repeated row lists, so every check gets k * w / m edges (up to
## one more); a column that would hit one row twice trades an edge with a random other
## column.
function cols = data_columns (k, m, w)
  slots = repmat (1:m, 1, ceil (k * w / m));
  slots = slots(randperm (numel (slots), k * w));
  cols = reshape (slots, w, k)';
  for attempt = 1:100 * k
    bad = find (any (diff (sort (cols, 2), 1, 2) == 0, 2), 1);
    if (isempty (bad))
      break;
    endif
    other = randi (k);
    a = randi (w);
    b = randi (w);
    [cols(bad, a), cols(other, b)] = deal (cols(other, b), cols(bad, a));
  endfor
  cols = sort (cols, 2);
endfunction

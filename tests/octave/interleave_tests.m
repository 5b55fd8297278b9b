## Permutations through the host: WcdmaPermutation, SpaceLinkPermutation,
## SpreadPermutation, Interleave and Deinterleave.

%!function ok = is_perm (a)
%!  ok = isrow (a) && isequal (sort (a), 0:numel (a) - 1);
%!endfunction

## Positions less than S apart hold values at least S apart.
%!function ok = is_spread (a, S)
%!  ok = true;
%!  for d = 1:S - 1
%!    ok = ok && all (abs (a(1 + d:end) - a(1:end - d)) >= S);
%!  endfor
%!endfunction

## The generator's seed: month 0..11, day of month, hour, minute and second, negated.
%!function seed = clock_seed ()
%!  c = clock ();
%!  seed = -((c(2) - 1) + c(3) + c(4) + c(5) + floor (c(6)));
%!endfunction

## WcdmaPermutation: worked values at the edges of the tables.
%!test
%! w = golden ("wcdma_permutation");
%! for k = 1:numel (w.K)
%!   a = WcdmaPermutation (w.K{k});
%!   assert (a(1:numel (w.head{k})), w.head{k});
%!   assert (a(end-numel (w.tail{k})+1:end), w.tail{k});
%! endfor
%! assert (isa (a, "double") && isreal (a));
%! assert (size (a), [1 5114]);

%!test
%! for K = 40:5114
%!   assert (is_perm (WcdmaPermutation (K)), true, sprintf ("K = %d", K));
%! endfor

## Argument conventions: truncation, other classes, extra elements and arguments.
%!test
%! a40 = WcdmaPermutation (40);
%! assert (WcdmaPermutation (40.9), a40);
%! assert (WcdmaPermutation (int32 (40)), a40);
%! assert (WcdmaPermutation (single (40)), a40);
%! assert (WcdmaPermutation ([40 99; 7 7], 3), a40);
%! [b] = WcdmaPermutation (40);
%! assert (b, a40);
%! try
%!   [b, c] = WcdmaPermutation (40);   # two outputs pass the check; only alpha is made
%!   error ("a second output was returned");
%! catch err
%!   assert (! strcmp (err.identifier, "linkforge:WcdmaPermutation"));
%! end_try_catch

%!test
%! usage = "[alpha] = WcdmaPermutation( K )";
%! range = "WcdmaPermutation: Input must be between 40 and 5114";
%! expect_error (@() WcdmaPermutation (), usage);
%! expect_error (@() WcdmaPermutation (40), usage, 3);
%! expect_error (@() WcdmaPermutation (39.99), range);
%! expect_error (@() WcdmaPermutation (5115), range);
%! expect_error (@() WcdmaPermutation (-40), range);
%! expect_error (@() WcdmaPermutation (NaN), range);
%! expect_error (@() WcdmaPermutation (Inf), range);
%! expect_error (@() WcdmaPermutation (1e10), range);
%! expect_error (@() WcdmaPermutation ([]), "K must not be empty");
%! expect_error (@() WcdmaPermutation ("abc"), "K must be a numeric or logical array, not char");

## SpaceLinkPermutation
%!test
%! w = golden ("space_link_permutation");
%! for K = [1784 3568 7136 8920]
%!   a = SpaceLinkPermutation (K);
%!   assert (a(1:10), w.head);
%!   assert (is_perm (a));
%!   assert (numel (a), K);
%! endfor
%! for k = 1:numel (w.K)
%!   a = SpaceLinkPermutation (w.K{k});
%!   assert (a(end-3:end), w.tail{k});
%! endfor
%! assert (SpaceLinkPermutation (1784.6), SpaceLinkPermutation (1784));
%! assert (SpaceLinkPermutation (uint16 (3568), 1), SpaceLinkPermutation (3568));

%!test
%! usage = "[alpha] = SpaceLinkPermutation( K )";
%! length = "SpaceLinkPermutation: K must be one of 1784, 3568, 7136 and 8920";
%! expect_error (@() SpaceLinkPermutation (), usage);
%! expect_error (@() SpaceLinkPermutation (1784), usage, 2);
%! for K = [1785 2000 0 -1784 NaN Inf 1783.9]
%!   expect_error (@() SpaceLinkPermutation (K), length);
%! endfor

## SpreadPermutation: the property, the row-column start and the argument conventions.
%!test
%! for c = {[64 4], [100 5], [1000 15], [5114 30]}
%!   [Length, S] = deal (c{1}(1), c{1}(2));
%!   a = SpreadPermutation (Length, S);
%!   assert (is_perm (a) && numel (a) == Length);
%!   assert (is_spread (a, S), true, sprintf ("Length %d, S %d", Length, S));
%! endfor

%!test
%! assert (is_perm (SpreadPermutation (10, 0)));
%! assert (is_perm (SpreadPermutation (10, -4)));
%! a = SpreadPermutation (100.9, 3.7);
%! assert (size (a), [1 100]);
%! assert (is_perm (a) && is_spread (a, 3));
%! assert (size (SpreadPermutation (0, 5)), [1 0]);
%! assert (size (SpreadPermutation (0.7, 5)), [1 0]);
%! assert (is_perm (SpreadPermutation (int32 (50), single (3))));
%! assert (is_perm (SpreadPermutation ([50 1], [2 99])));

## The random stream continues between calls; clearing the module seeds it again from
## the clock (month, day, hour, minute and second of the first draw).
%!test
%! a = SpreadPermutation (200, 5);
%! b = SpreadPermutation (200, 5);
%! assert (! isequal (a, b));
%! for attempt = 1:5
%!   clear SpreadPermutation
%!   before = clock_seed ();
%!   a = SpreadPermutation (200, 5);
%!   clear SpreadPermutation
%!   b = SpreadPermutation (200, 5);
%!   if (clock_seed () == before)
%!     assert (a, b);
%!     break;
%!   endif
%! endfor

%!test
%! usage = "[alpha] = SpreadPermutation( Length, S )";
%! none = "no transposition can be accepted: Length must be at least 2 and S below Length - 1";
%! expect_error (@() SpreadPermutation (10), usage);
%! expect_error (@() SpreadPermutation (10, 2, 1), usage);
%! expect_error (@() SpreadPermutation (10, 2), usage, 2);
%! expect_error (@() SpreadPermutation (-1, 2), "Length must not be negative");
%! expect_error (@() SpreadPermutation (-Inf, 2), "Length must not be negative");
%! expect_error (@() SpreadPermutation (1e10, 2), "Length is out of range");
%! expect_memory_refusal (@() SpreadPermutation (2^31 - 1, 2), "the permutation");
%! expect_error (@() SpreadPermutation (NaN, 2), "Length must be a number");
%! expect_error (@() SpreadPermutation (10, NaN), "S must be a finite number");
%! expect_error (@() SpreadPermutation (1, 0), none);
%! expect_error (@() SpreadPermutation (1, -3), none);
%! expect_error (@() SpreadPermutation (10, 9), none);
%! expect_error (@() SpreadPermutation (2, 1), none);
%! expect_error (@() SpreadPermutation (10, 2^31 - 1), none);

## An S that the transpositions cannot reach is given up at the draw bound.
%!test
%! try
%!   SpreadPermutation (100, 30);
%!   error ("an S of 30 was reached for Length 100");
%! catch err
%!   assert (regexp (err.message, ['^SpreadPermutation: S is too large for Length: only \d+ ' ...
%!                   'of the 1000 transpositions were accepted in 10000000 draws$']), 1);
%! end_try_catch

## Interleave and Deinterleave
%!test
%! w = golden ("interleave");
%! [x, a] = deal (w.data, w.alpha);
%! y = Interleave (x, a);
%! assert (y, w.interleaved);
%! assert (Deinterleave (y, a), x);
%! assert (Interleave (x, 0:3), x);
%! assert (Deinterleave (x, 0:3), x);
%! assert (Interleave (x, [1.99 1.0 0 3]), [20 20 10 40]);
%! assert (Interleave (x, [-0.5 1 2 3]), x);           # -0.5 truncates to 0
%! assert (Interleave (x, int32 (a)), y);
%! assert (Interleave (x, single (a)), y);
%! assert (Interleave (single (x), a), y);
%! assert (Interleave (x, logical ([0 1 1 0])), [10 20 20 10]);
%! assert (Interleave (x + 1i, a), y);                  # real parts only
%! assert (size (Interleave (zeros (1, 0), zeros (1, 0))), [1 0]);
%! assert (size (Deinterleave ([], [])), [1 0]);
%! assert (Interleave ((1:8)', (0:7)'), 1);             # one column: a block of N = 1
%! assert (Interleave ([1 2; 3 4], [1 0]), [3 1]);      # first N elements, column-major
%! assert (Interleave (x, a, "ignored"), y);

## Repeated indices: Interleave copies, Deinterleave keeps the later value and leaves
## unnamed positions at 0.
%!test
%! assert (Interleave ([1 2 3], [1 1 0]), [2 2 1]);
%! assert (Deinterleave ([1 2 3], [1 1 0]), [3 2 0]);

## Round trips keep soft values bit for bit, over every generator's permutations.
%!test
%! randn ("seed", 3);
%! alphas = {WcdmaPermutation(40), WcdmaPermutation(5114), SpaceLinkPermutation(1784), ...
%!           SpaceLinkPermutation(8920), SpreadPermutation(1000, 12)};
%! for i = 1:numel (alphas)
%!   a = alphas{i};
%!   x = 3 * randn (1, numel (a));
%!   x(1) = -0;
%!   z = Deinterleave (Interleave (x, a), a);
%!   assert (z, x);
%!   assert (signbit (z(1)));
%!   assert (Interleave (Deinterleave (x, a), a), x);
%!   y = Interleave (x, a);
%!   assert (y, x(a + 1));
%! endfor

%!test
%! for m = {"Interleave", "Deinterleave"}
%!   f = str2func (m{1});
%!   expect_error (@() f ([1 2 3]), ["Usage: [output] = " m{1} "(input, alpha_code )"]);
%!   expect_error (@() f ([1 2 3], [0 1 2]), ["Usage: [output] = " m{1} "(input, alpha_code )"], 2);
%!   length = [m{1} ": Error input and alpha_code must be same length"];
%!   expect_error (@() f (1:8, 0:6), length);
%!   expect_error (@() f (1:3, (0:2)'), length);
%!   expect_error (@() f (1:3, [1 2 3]), "alpha_code(3) = 3 is not a 0-based index from 0 to 2");
%!   expect_error (@() f (1:3, [0 -1 2]), "alpha_code(2) = -1 is not a 0-based index from 0 to 2");
%!   expect_error (@() f (1:3, [0 NaN 2]), "alpha_code(2) = NaN is not a 0-based index from 0 to 2");
%!   expect_error (@() f (1:3, [0 1 Inf]), "alpha_code(3) = Inf is not a 0-based index from 0 to 2");
%!   assert (f (1:3, [0 1 2.5]), [1 2 3]);
%!   expect_error (@() f (1:3, [0 1 3.5]), "alpha_code(3) = 3.5 is not a 0-based index from 0 to 2");
%!   expect_error (@() f (zeros (0, 3), [0 1 2]), "input has 3 columns but no rows");
%!   expect_error (@() f (1:3, zeros (0, 3)), "alpha_code has 3 columns but no rows");
%!   expect_error (@() f ({1, 2}, [0 1]), "input must be a numeric or logical array, not cell");
%! endfor

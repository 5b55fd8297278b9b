"""linkforge: numerical kernels for simulating coded digital communication links.

Conventions shared by every function:

* Soft values are log-likelihood ratios ln(P(bit = 1) / P(bit = 0)): positive favours
  1 (sparse_graph_solve and graph_state_setup take the opposite sign, as documented
  there). Bits of a label are read most significant first; code-bit streams are
  step-major (element k*n + i is code bit i of step k).
* Batch first: the last axis of an array argument is one frame, every leading axis
  counts frames. A 1-D array is one frame; an (F, N) array is F frames, and the
  outputs keep the leading axes.
* Array arguments take NumPy arrays (or anything numpy.asarray takes) of boolean,
  integer or floating dtype (complex where the argument is complex); float64 and
  complex128 arrays are read in place with any strides, other dtypes are converted.
  Outputs are new float64 arrays, int64 for indices and counts, bool for pass/fail
  flags (crc_check).
* Errors are ValueError (bad values or shapes), TypeError (bad types or dtypes) and
  MemoryError (a call that would need more memory than the budget, which the
  environment variable LINKFORGE_MEMORY_BUDGET sets, e.g. "8G"). Ctrl-C stops a long
  call with KeyboardInterrupt. Long calls release the GIL, so threads can run
  decoders side by side.
"""

from ._linkforge import *  # noqa: F401,F403

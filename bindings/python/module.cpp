// The compiled part of the Python package `linkforge` (linkforge/__init__.py imports
// everything from here). Each subsystem built into the library adds its functions.
#include "binding.hpp"
#include "subsystems.hpp"

PYBIND11_MODULE(_linkforge, m) {
  namespace lp = linkforge::python;
  m.doc() = "Numerical kernels for simulating coded digital communication links.";
  // Every docstring starts with its own signature line, in Python's terms.
  pybind11::options options;
  options.disable_function_signatures();
  lp::register_errors();
#ifdef LINKFORGE_PY_CONV
  lp::add_conv(m);
#endif
#ifdef LINKFORGE_PY_DUOBINARY
  lp::add_duobinary(m);
#endif
#ifdef LINKFORGE_PY_INTERLEAVE
  lp::add_interleave(m);
#endif
#ifdef LINKFORGE_PY_ADAPT
  lp::add_adapt(m);
#endif
#ifdef LINKFORGE_PY_LDPC
  lp::add_ldpc(m);
#endif
#ifdef LINKFORGE_PY_MODEM
  lp::add_modem(m);
#endif
#ifdef LINKFORGE_PY_CAPACITY
  lp::add_capacity(m);
#endif
#ifdef LINKFORGE_PY_NRLDPC
  lp::add_nrldpc(m);
#endif
#ifdef LINKFORGE_PY_POLAR
  lp::add_polar(m);
#endif
#ifdef LINKFORGE_PY_STANDARDS
  lp::add_standards(m);
#endif
}

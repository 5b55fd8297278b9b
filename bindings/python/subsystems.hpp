// The functions of each subsystem, added to the module by module.cpp.
#pragma once

#include <pybind11/pybind11.h>

namespace linkforge::python {

void add_conv(pybind11::module_& m);
void add_duobinary(pybind11::module_& m);
void add_interleave(pybind11::module_& m);
void add_adapt(pybind11::module_& m);
void add_ldpc(pybind11::module_& m);
void add_modem(pybind11::module_& m);
void add_capacity(pybind11::module_& m);
void add_nrldpc(pybind11::module_& m);
void add_polar(pybind11::module_& m);
void add_standards(pybind11::module_& m);

}  // namespace linkforge::python

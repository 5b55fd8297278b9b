# Standard codes: the 3GPP CRCs and the LTE turbo interleaver.
target_sources(linkforge_gateway PRIVATE ${CMAKE_CURRENT_LIST_DIR}/standards_args.cpp)
linkforge_add_mex(CrcAttach CrcCheck QppPermutation)

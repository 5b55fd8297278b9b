# 5G NR LDPC codes.
target_sources(linkforge_gateway PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nrldpc_args.cpp)
linkforge_add_mex(NrLdpcEncode NrLdpcDecode NrLdpcRateMatch NrLdpcRateRecover NrLdpcSegment)

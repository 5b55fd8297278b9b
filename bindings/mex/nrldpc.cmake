# 5G NR LDPC codes.
linkforge_add_mex(NrLdpcEncode NrLdpcDecode)

# 5G polar codes.
linkforge_add_mex(PolarConstruct PolarEncode PolarDecode)

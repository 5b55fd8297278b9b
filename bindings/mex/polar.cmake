# 5G polar codes.
target_sources(linkforge_gateway PRIVATE ${CMAKE_CURRENT_LIST_DIR}/polar_args.cpp)
linkforge_add_mex(PolarConstruct PolarEncode PolarDecode PolarCodeLength PolarRateMatch PolarRateRecover)

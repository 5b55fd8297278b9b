# Sparse-graph (LDPC) codes.
target_sources(linkforge_gateway PRIVATE ${CMAKE_CURRENT_LIST_DIR}/ldpc_args.cpp)
linkforge_add_mex(ParityCheckCoder SparseGraphSolve SparseGraphDecode GraphStateSetup GraphStateStep)

# The Octave function that creates an unshared decoder state sits beside the modules.
add_custom_command(
  OUTPUT ${LINKFORGE_MEX_DIR}/GraphStateCreate.m
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_LIST_DIR}/GraphStateCreate.m
          ${LINKFORGE_MEX_DIR}/GraphStateCreate.m
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/GraphStateCreate.m
  COMMENT "Copying GraphStateCreate.m")
add_custom_target(GraphStateCreate ALL DEPENDS ${LINKFORGE_MEX_DIR}/GraphStateCreate.m)

# Double-binary circular codes.
target_sources(linkforge_gateway PRIVATE duobinary_args.cpp)
linkforge_add_mex(CircularPairCoder CircularPairPosterior CircularTurboDecode)

# Rate adaptation: puncturing by pattern and to an exact bit count, with the inverses.
target_sources(linkforge_gateway PRIVATE adapt_args.cpp)
linkforge_add_mex(Puncture Depuncture BitCountAdapt BitCountRestore)

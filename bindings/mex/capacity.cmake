# Capacity.
linkforge_add_mex(Capacity InfoRateTable)

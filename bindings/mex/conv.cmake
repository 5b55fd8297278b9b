# Binary convolutional codes.
linkforge_add_mex(TrellisCoder TrellisPosterior TrellisBestPath TurboDecode ViterbiDecode)

# Modulation and soft demapping.
target_sources(linkforge_gateway PRIVATE modem_args.cpp)
linkforge_add_mex(Modulate PlaneMetrics ToneMetrics RelayFrequencyMetrics SymbolBitMetrics
                  RelayLabelMetrics SoftDemap)

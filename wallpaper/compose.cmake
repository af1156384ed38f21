# Fitting, composition and preview.
tavrino_core_sources(FitImageBox.cpp)

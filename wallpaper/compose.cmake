# Fitting, composition and preview.
tavrino_core_sources(FitImageBox.cpp Resample.cpp)
tavrino_app_sources(ScreenMetricsSource.cpp ImageDecoding.cpp BitmapComposition.cpp WallpaperComposer.cpp
                    PreviewController.cpp)

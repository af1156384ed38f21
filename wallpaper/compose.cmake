# Fitting, composition and preview.
tavrino_core_sources(FitImageBox.cpp)
tavrino_app_sources(ScreenMetricsSource.cpp ImageDecoding.cpp WallpaperComposer.cpp
                    PreviewController.cpp)

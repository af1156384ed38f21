# Tests of fitting, composition and preview.
tavrino_test(NAME test_fit SOURCES test_fit_image_box.cpp)
tavrino_test(NAME test_compose_resample SOURCES test_compose_resample.cpp)
tavrino_test(NAME test_compose SOURCES test_compose_wallpaper.cpp test_compose_images.cpp
             QT LABELS gui)
tavrino_test(NAME test_preview SOURCES test_preview.cpp test_compose_images.cpp QT LABELS gui)
tavrino_test(NAME test_compose_decoders SOURCES test_compose_decoders.cpp test_compose_images.cpp
             QT LABELS gui)

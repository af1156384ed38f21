# Tests of fitting, composition and preview.
tavrino_test(NAME test_fit SOURCES test_fit_image_box.cpp)

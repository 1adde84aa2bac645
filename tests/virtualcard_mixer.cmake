# The virtual card's mixer, linked before winmm as the product's tests link it.
vt_add_test(virtualcard_mixer_test SOURCES tests/virtualcard_mixer_test.cpp LIBS vcmixer winmm user32)

# The virtual card's DirectSound: that it refuses what DirectSound refuses.
vt_add_test(virtualcard_dsound_test SOURCES tests/virtualcard_dsound_test.cpp LIBS vcdsound)

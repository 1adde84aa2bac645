# The virtual card's DirectSound: that it refuses what DirectSound refuses; the
# card and a plain sound device.
vt_add_test(virtualcard_dsound_test SOURCES tests/virtualcard_dsound_test.cpp LIBS vcdsound PREFIX --devices 2)

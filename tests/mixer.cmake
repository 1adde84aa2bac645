# The card's mixer access and the two mixer pages, against the virtual
# card's mixer linked before winmm; the pages hosted in the panel's dialog.
vt_add_test(mixer_test SOURCES tests/mixer_test.cpp $<TARGET_OBJECTS:vtres>
  LIBS vtcore vcmixer dsound winmm ${VT_SYSTEM_LIBS})

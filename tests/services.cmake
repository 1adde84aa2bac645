# The services the tray program, the panel and the pages call: messages, the
# driver connection, the speaker configuration, card detection and the
# speaker-test engine, against the virtual card's DirectSound. The program's
# resources are linked in, so that strings load from the test program itself.
foreach(name services_test speaker_test_engine_test detection_test)
  vt_add_test(${name} SOURCES tests/${name}.cpp $<TARGET_OBJECTS:vtres> LIBS vtcore vcdsound winmm ${VT_SYSTEM_LIBS})
endforeach()

# The languages of the program's resources, from res/lang/languages.txt:
# VT_LANGUAGES lists their tags; VT_LANGUAGE_<tag>_ID, _LOCALE, _ACP and
# _STRINGS (yes or no) describe each.
file(STRINGS ${CMAKE_SOURCE_DIR}/res/lang/languages.txt vt_language_rows REGEX "^[0-9]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/lang/languages.txt)
set(VT_LANGUAGES "")
foreach(row ${vt_language_rows})
  string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
  list(GET fields 0 id)
  list(GET fields 1 tag)
  list(GET fields 4 locale)
  list(GET fields 5 acp)
  list(GET fields 7 strings)
  list(APPEND VT_LANGUAGES ${tag})
  set(VT_LANGUAGE_${tag}_ID ${id})
  set(VT_LANGUAGE_${tag}_LOCALE ${locale})
  set(VT_LANGUAGE_${tag}_ACP ${acp})
  set(VT_LANGUAGE_${tag}_STRINGS ${strings})
endforeach()

# vt_add_locale_test(NAME LOCALE ll_CC COMMAND target [ARGS...] [TIMEOUT seconds])
# Runs a Windows program of the build under Wine with a language's Unix
# locale, as a user of that language runs it: the system's resource lookup
# picks that language and the ANSI code page is the language's. Such tests
# run one at a time, since Wine sets the prefix's fonts for the locale that
# a program starts with.
function(vt_add_locale_test name)
  cmake_parse_arguments(T "" "LOCALE;TIMEOUT" "COMMAND" ${ARGN})
  list(POP_FRONT T_COMMAND program)
  add_test(NAME ${name}
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --locale ${T_LOCALE} $<TARGET_FILE:${program}> ${T_COMMAND})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} RESOURCE_LOCK "wine_locale;vcard_registry")
endfunction()

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

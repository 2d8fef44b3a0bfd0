# The desktop entry and the AppStream metainfo, checked by their own validators where
# they are installed (scripts/setup.sh installs them); not run without them.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME DesktopEntryValid
    COMMAND ${DESKTOP_FILE_VALIDATE}
            ${CMAKE_SOURCE_DIR}/resources/desktop/org.quillmark.Quillmark.desktop)
  set_tests_properties(DesktopEntryValid PROPERTIES LABELS desktop)
endif()
if(APPSTREAMCLI)
  add_test(NAME MetainfoValid
    COMMAND ${APPSTREAMCLI} validate --no-net --pedantic
            ${CMAKE_SOURCE_DIR}/resources/desktop/org.quillmark.Quillmark.metainfo.xml)
  set_tests_properties(MetainfoValid PROPERTIES LABELS desktop)
endif()

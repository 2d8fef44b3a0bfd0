# The command line as its users run it: the quillmark program in a process of its own, on
# the virtual MIDI back end, with no display.
quillmark_test(cli QT LIBS Qt6::Core qm_platform_midi util)
if(TARGET test_cli AND TARGET quillmark)
  add_dependencies(test_cli quillmark)
  target_compile_definitions(test_cli PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
endif()

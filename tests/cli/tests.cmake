# The command line as its users run it: the quillmark program in a process of its own, on
# the virtual MIDI back end, with no display.
quillmark_test(cli QT LIBS Qt6::Core qm_platform_midi qm_file util GTest::gmock)
if(TARGET test_cli AND TARGET quillmark)
  add_dependencies(test_cli quillmark)
  target_compile_definitions(test_cli PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
endif()

# The command line against the kernel's ALSA sequencer, amidi and aseqdump, inside the
# alsa-vm tool's VM as in tests/alsa; reported as skipped where the VM cannot start.
if(TARGET quillmark)
  add_executable(test_cli_alsa ${CMAKE_CURRENT_LIST_DIR}/alsa/CliAlsaTest.cpp)
  target_link_libraries(test_cli_alsa PRIVATE qm_test_sequencer qm_test_main_qt)
  add_dependencies(test_cli_alsa quillmark)
  target_compile_definitions(test_cli_alsa PRIVATE QUILLMARK_BINARY="$<TARGET_FILE:quillmark>")
  add_test(NAME CliAlsaSequencer
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/../alsa/run-in-vm.sh
            ${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:test_cli_alsa>)
  set_tests_properties(CliAlsaSequencer PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400 LABELS alsa)
endif()

# The main window's device menus against the kernel's ALSA sequencer, while sequencer
# clients come and go: the hot-plug tests of tests/windows, run inside the small VM of the
# alsa-vm tool (shared/tools beside the repository), all tests in one boot; where the VM
# cannot start the test is reported as skipped.
add_executable(test_mainwindow_alsa
  ${CMAKE_CURRENT_LIST_DIR}/../windows/MainWindowTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../windows/WindowFixture.cpp)
target_link_libraries(test_mainwindow_alsa PRIVATE
  qm_test_support qm_test_main_qt qm_test_dialogs qm_windows qm_app qm_transfer)
add_dependencies(test_mainwindow_alsa quillmark_resources)
# The other main window tests need the virtual back end.
add_test(NAME AlsaMainWindow
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/../alsa/run-in-vm.sh ${CMAKE_SOURCE_DIR}/../shared/tools/alsa-vm
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:test_mainwindow_alsa> --gtest_filter=MainWindowHotPlug.*)
set_tests_properties(AlsaMainWindow PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 400 LABELS alsa)

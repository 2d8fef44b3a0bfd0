quillmark_test(file LIBS qm_file)

# The reader that checks our .mid files is not ours: midicsv, installed by
# scripts/setup.sh. A build without it still builds; the test then fails and says why.
find_program(QUILLMARK_MIDICSV midicsv)
if(TARGET test_file)
  target_compile_definitions(test_file PRIVATE QM_MIDICSV="${QUILLMARK_MIDICSV}")
endif()

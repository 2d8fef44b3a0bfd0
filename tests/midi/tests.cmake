quillmark_test(midi LIBS qm_midi GTest::gmock)
